#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace quorvex {

class RollingText;

/// The marks of the progress panel (spinner, progress ring, success and failure) as functions of
/// the time since the mark appeared. Each value is computed for the frame being drawn, never
/// interpolated between a start and an end value, so a motion such as the failure shake (which
/// starts and ends at rest) is really drawn. Pure, apart from the painting.
namespace CleanupMarks {

/// The spinner's arc turns once every 0.9 s.
double spinnerAngle(double elapsed);

struct SuccessFrame {
    double circle = 0; // 0 → 1 (may overshoot): the disc pops in, the particles appear
    double check = 0;  // 0 → 1: how much of the check is drawn, from its left end
    double burst = 0;  // 0 → 1: the ring grows and fades, the particles fly out and fade
};
SuccessFrame success(double elapsed);

struct FailureFrame {
    double shown = 0;  // 0 → 1 (may overshoot): the disc and the sign pop in
    double offset = 0; // horizontal shake in points: sin(6πs) × 8 × (1 − s)
};
FailureFrame failure(double elapsed);

/// How long each entrance runs (until its springs settle); the spinner never stops.
double successDuration();
double failureDuration();

/// Painting, in a square `rect` of the mark's size; the backing reaches 8 beyond it and the
/// success burst further, so the caller leaves room around it.
void paintSpinner(QPainter& painter, const QRectF& rect, double elapsed, const QColor& accent,
                  const QColor& primary, const QColor& material);
/// The ring's percentage is `percent`, drawn in the middle as it rolls.
void paintRing(QPainter& painter, const QRectF& rect, double fraction, const RollingText& percent,
               const QColor& accent, const QColor& primary, const QColor& material);
void paintSuccess(QPainter& painter, const QRectF& rect, double elapsed);
void paintFailure(QPainter& painter, const QRectF& rect, double elapsed);

} // namespace CleanupMarks

} // namespace quorvex

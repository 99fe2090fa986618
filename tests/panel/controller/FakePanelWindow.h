#pragma once

#include "panel/controller/PanelWindow.h"

#include <vector>

namespace quorvex::test {

/// A panel window that records what the controller did and runs animations only when the test
/// finishes them.
class FakePanelWindow final : public PanelWindow {
public:
    struct Animation {
        std::optional<QRectF> frame;
        std::optional<double> alpha;
        double seconds;
        Easing easing;
        std::function<void()> done;
    };
    struct State {
        QRectF frame;
        double alpha = 1;
        bool visible = false;
        std::vector<std::pair<WindowSystem::Order, quint64>> orders;
        std::vector<Animation> animations;
        int orderOuts = 0;
        int frameSets = 0;
    };

    /// Orders also go to `system` when given, so its window list can follow them.
    FakePanelWindow(State& state, quint64 number, WindowSystem* system = nullptr)
        : m_state(state)
        , m_number(number)
        , m_system(system) {}

    QRectF frame() const override { return m_state.frame; }
    void setFrame(const QRectF& frame) override {
        m_state.frame = frame;
        ++m_state.frameSets;
    }
    double alpha() const override { return m_state.alpha; }
    void setAlpha(double alpha) override { m_state.alpha = alpha; }
    bool isVisible() const override { return m_state.visible; }
    void order(WindowSystem::Order order, quint64 host) override {
        m_state.visible = true;
        m_state.orders.emplace_back(order, host);
        if (m_system)
            m_system->orderWindow(m_number, order, host);
    }
    void orderOut() override {
        m_state.visible = false;
        ++m_state.orderOuts;
    }
    quint64 number() const override { return m_number; }
    void animate(std::optional<QRectF> frame, std::optional<double> alpha, double seconds, Easing easing,
                 std::function<void()> done) override {
        m_state.animations.push_back({frame, alpha, seconds, easing, std::move(done)});
    }

    /// Ends the newest animation as the real window would.
    static void finish(State& state) {
        Animation a = state.animations.back();
        if (a.frame)
            state.frame = *a.frame;
        if (a.alpha)
            state.alpha = *a.alpha;
        if (a.done)
            a.done();
    }

private:
    State& m_state;
    quint64 m_number;
    WindowSystem* m_system;
};

} // namespace quorvex::test

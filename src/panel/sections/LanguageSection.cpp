#include "panel/sections/LanguageSection.h"

#include "panel/sections/LanguageCodes.h"
#include "panel/sections/LanguageTools.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/ValueMenu.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

LanguageSection::LanguageSection(const std::optional<QString>& targetUDID, const SimulatorApp& app,
                                 LanguageTools& tools, QWidget* parent)
    : QWidget(parent)
    , m_target(targetUDID)
    , m_app(app)
    , m_tools(tools) {
    setObjectName(QStringLiteral("languageSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0); // the simulator bar pads it like its tools
    layout->setSpacing(0);

    auto* languageRow =
        new SettingsRow(QStringLiteral("globe"), QStringLiteral("Language"), std::nullopt, false, this);
    m_languageMenu = new ValueMenu(QString(), languageRow);
    m_languageMenu->setObjectName(QStringLiteral("languageMenu"));
    for (const QString& code : LanguageCodes::codes()) {
        QAction* item = m_languageMenu->items()->addAction(LanguageCodes::languageName(code));
        item->setData(code);
        connect(item, &QAction::triggered, this, [this, code] { setLanguage(code); });
    }
    languageRow->addTrailing(m_languageMenu);
    layout->addWidget(languageRow);

    auto* regionRow =
        new SettingsRow(QStringLiteral("map"), QStringLiteral("Region"), std::nullopt, false, this);
    m_regionMenu = new ValueMenu(QString(), regionRow);
    m_regionMenu->setObjectName(QStringLiteral("regionMenu"));
    for (const QString& code : DeviceTools::regionCodes()) {
        QAction* item = m_regionMenu->items()->addAction(LanguageCodes::regionName(code));
        item->setData(code);
        connect(item, &QAction::triggered, this, [this, code] { setRegion(code); });
    }
    regionRow->addTrailing(m_regionMenu);
    layout->addWidget(regionRow);

    auto* applyRow = new SettingsRow(std::nullopt, QStringLiteral("Applies to the whole simulator"),
                                     std::nullopt, true, this);
    QPalette secondary = applyRow->palette();
    secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
    applyRow->setPalette(secondary);
    m_applyButton = new PanelButtonStyle(QStringLiteral("Apply & Relaunch"), false, applyRow);
    m_applyButton->setObjectName(QStringLiteral("applyLanguageButton"));
    m_applyButton->setPalette(palette()); // the row's secondary text is for its title only
    connect(m_applyButton, &PanelButtonStyle::clicked, this, &LanguageSection::apply);
    applyRow->addTrailing(m_applyButton);
    layout->addWidget(applyRow);

    setApp(app);
    read();
}

void LanguageSection::setTargetUDID(const std::optional<QString>& udid) {
    if (udid == m_target)
        return;
    m_target = udid;
    refresh();
    read();
}

void LanguageSection::setApp(const SimulatorApp& app) {
    m_app = app;
    m_applyButton->setToolTip(QStringLiteral("Sets the language and region, then relaunches ") + app.name +
                              QStringLiteral(". The Home Screen updates after the simulator restarts."));
    refresh();
}

void LanguageSection::setLanguage(const QString& code) {
    m_choice.language = code;
    refresh();
}

void LanguageSection::setRegion(const QString& code) {
    m_choice.region = code;
    refresh();
}

LanguageSection::Choice LanguageSection::afterRead(const Choice& shown,
                                                   const DeviceTools::LanguageAndRegion& read,
                                                   const QStringList& regionCodes) {
    Choice result = shown;
    if (read.language)
        if (const std::optional<QString> code = LanguageCodes::match(*read.language))
            result.language = *code;
    if (read.region && regionCodes.contains(*read.region))
        result.region = *read.region;
    return result;
}

bool LanguageSection::hasChanges(const std::optional<Choice>& applied, const Choice& shown) {
    return applied && *applied != shown;
}

bool LanguageSection::applyAndRelaunch(LanguageTools& tools, const Run& run) {
    if (!tools.setLanguageAndRegion(run.language, run.region, run.udid))
        return false;
    // An app that was not running cannot be stopped; that is no reason to fail the change.
    tools.terminateApp(run.bundleID, run.udid);
    return tools.launchApp(run.bundleID, run.udid);
}

ToastMessage LanguageSection::resultToast(const Run& run, bool succeeded) {
    if (!succeeded)
        return {QStringLiteral("Couldn’t change the language"), std::nullopt, QStringLiteral("globe"), true};
    return {LanguageCodes::languageName(run.language) + QStringLiteral(", ") +
                LanguageCodes::regionName(run.region),
            QStringLiteral("Relaunched ") + run.appName, QStringLiteral("globe"), false};
}

void LanguageSection::read() {
    if (!m_target)
        return;
    const quint64 sequence = ++m_readSequence;
    const QString udid = *m_target;
    LanguageTools* tools = &m_tools;
    QtConcurrent::run([tools, udid] {
        return tools->languageAndRegion(udid);
    }).then(this, [this, sequence, udid](const DeviceTools::LanguageAndRegion& values) {
        if (sequence == m_readSequence && m_target == udid) {
            m_choice = afterRead(m_choice, values, DeviceTools::regionCodes());
            m_applied = m_choice;
            refresh();
        }
        emit readFinished();
    });
}

void LanguageSection::apply() {
    if (!m_target || m_isApplying)
        return;
    const Run run{m_choice.language, m_choice.region, *m_target, m_app.id, m_app.name};
    // A read still under way was asked before this write and would put the old values back.
    ++m_readSequence;
    m_isApplying = true;
    refresh();
    QPointer<LanguageSection> self(this);
    LanguageTools* tools = &m_tools;
    QtConcurrent::run([tools, run] {
        return applyAndRelaunch(*tools, run);
    }).then(QCoreApplication::instance(), [self, run](bool succeeded) {
        const ToastMessage toast = resultToast(run, succeeded);
        Toast::show(toast.title, toast.detail, toast.symbol, toast.failed);
        if (self)
            self->finishApply(run, succeeded);
    });
}

void LanguageSection::finishApply(const Run& run, bool succeeded) {
    m_isApplying = false;
    if (succeeded)
        m_applied = Choice{run.language, run.region};
    refresh();
    if (!m_applied) // the read dropped at the press never came back; the failed write left it unknown
        read();
    emit applyFinished(succeeded);
}

void LanguageSection::refresh() {
    m_languageMenu->setValue(LanguageCodes::languageName(m_choice.language));
    m_regionMenu->setValue(LanguageCodes::regionName(m_choice.region));
    m_applyButton->setText(m_isApplying ? QStringLiteral("Applying…") : QStringLiteral("Apply & Relaunch"));
    m_applyButton->setProminent(hasChanges());
    PanelFocus::setEnabled(m_applyButton, !m_isApplying && m_target.has_value());
    m_applyButton->updateGeometry();
}

} // namespace quorvex

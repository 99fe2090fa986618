#include "app/LaunchWithArguments.h"

#include "app/MenuItems.h"
#include "devices/core/DeviceApp.h"
#include "devices/core/SplitQuotedWords.h"
#include "platform/gui/Dialogs.h"
#include "simulator/Toast.h"
#include "tools/Environment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QWidget>
#include <QtConcurrent>

namespace quorvex {
namespace {

const QString kLastAppKey = QStringLiteral("launch.lastApp");

QString key(const QString& bundleID, const char* field) {
    return QStringLiteral("launch.%1.%2").arg(bundleID, QLatin1String(field));
}

QString counted(qsizetype count, const QString& word) {
    return QStringLiteral("%1 %2%3").arg(count).arg(word).arg(count == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

LaunchWithArguments::Settings LaunchWithArguments::load(const QString& bundleID) {
    QSettings& defaults = sharedDefaults();
    Settings settings;
    settings.arguments = defaults.value(key(bundleID, "arguments")).toString();
    settings.environment = defaults.value(key(bundleID, "environment")).toString();
    const QVariant restart = defaults.value(key(bundleID, "restart"));
    settings.restart = restart.typeId() == QMetaType::Bool ? restart.toBool() : true;
    return settings;
}

void LaunchWithArguments::save(const QString& bundleID, const Settings& settings) {
    QSettings& defaults = sharedDefaults();
    defaults.setValue(kLastAppKey, bundleID);
    defaults.setValue(key(bundleID, "arguments"), settings.arguments);
    defaults.setValue(key(bundleID, "environment"), settings.environment);
    defaults.setValue(key(bundleID, "restart"), settings.restart);
}

std::optional<QString> LaunchWithArguments::lastApp() {
    const QVariant value = sharedDefaults().value(kLastAppKey);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QStringList LaunchWithArguments::parseArguments(const QString& text) {
    return splitQuotedWords(text);
}

std::map<QString, QString> LaunchWithArguments::parseEnvironment(const QString& text) {
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::map<QString, QString> environment;
    for (const QString& word : splitQuotedWords(flat)) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        environment[word.left(equals)] = word.mid(equals + 1);
    }
    return environment;
}

std::optional<QString> LaunchWithArguments::launchDetail(qsizetype arguments, qsizetype variables) {
    if (arguments == 0 && variables == 0)
        return std::nullopt;
    return counted(arguments, QStringLiteral("argument")) + QStringLiteral(", ") +
           counted(variables, QStringLiteral("variable"));
}

void LaunchWithArguments::loadLaunchSettings(QComboBox* popup, QLineEdit* arguments, QLineEdit* environment,
                                             QCheckBox* restart) {
    const Settings settings = load(popup->currentData().toString());
    arguments->setText(settings.arguments);
    environment->setText(settings.environment);
    restart->setChecked(settings.restart);
}

QFuture<void> LaunchWithArguments::launchWithArguments(const PhysicalDevice& device) {
    const QString deviceID = device.id;
    const QString deviceName = device.name;
    return QtConcurrent::run([deviceID] { return DeviceApp::listApps(deviceID, true); })
        .then(QCoreApplication::instance(),
              [deviceID, deviceName](const std::vector<DeviceApp>& apps) -> QFuture<void> {
                  if (apps.empty()) {
                      Toast::show(QStringLiteral("No apps to launch"),
                                  QStringLiteral("Apps you run from Xcode show up here."),
                                  QStringLiteral("play.fill"), true);
                      return QtFuture::makeReadyFuture();
                  }

                  QWidget accessory;
                  accessory.setObjectName(QStringLiteral("launchAccessory"));
                  auto* popup = new QComboBox(&accessory);
                  popup->setObjectName(QStringLiteral("launchApp"));
                  const std::optional<QString> last = lastApp();
                  int selected = 0;
                  for (const DeviceApp& app : apps) {
                      if (last && app.id == *last)
                          selected = popup->count();
                      popup->addItem(app.name, app.id);
                  }
                  popup->setCurrentIndex(selected);
                  auto* arguments = new QLineEdit(&accessory);
                  arguments->setObjectName(QStringLiteral("launchArguments"));
                  arguments->setPlaceholderText(QStringLiteral("-FIRDebugEnabled -UITestMode YES"));
                  arguments->setFixedWidth(240);
                  auto* environment = new QLineEdit(&accessory);
                  environment->setObjectName(QStringLiteral("launchEnvironment"));
                  environment->setPlaceholderText(QStringLiteral("API_ENV=staging LOG_LEVEL=debug"));
                  environment->setFixedWidth(240);
                  auto* restart = new QCheckBox(QStringLiteral("Restart if it’s running"), &accessory);
                  restart->setObjectName(QStringLiteral("launchRestart"));

                  auto* grid = new QGridLayout(&accessory);
                  grid->setContentsMargins(0, 0, 0, 0);
                  grid->setSpacing(8);
                  const auto label = [&accessory](const char* text) {
                      auto* result = new QLabel(QString::fromUtf8(text), &accessory);
                      result->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                      return result;
                  };
                  grid->addWidget(label("App:"), 0, 0);
                  grid->addWidget(popup, 0, 1);
                  grid->addWidget(label("Arguments:"), 1, 0);
                  grid->addWidget(arguments, 1, 1);
                  grid->addWidget(label("Environment:"), 2, 0);
                  grid->addWidget(environment, 2, 1);
                  grid->addWidget(restart, 3, 1);
                  accessory.resize(accessory.sizeHint());

                  loadLaunchSettings(popup, arguments, environment, restart);
                  // Another app brings back that app's own texts and choice.
                  PopupAction reload([=] { loadLaunchSettings(popup, arguments, environment, restart); });
                  QObject::connect(popup, &QComboBox::currentIndexChanged, &reload, &PopupAction::fire);

                  Alert alert;
                  alert.message = QStringLiteral("Launch an app on ") + deviceName;
                  alert.informativeText =
                      QStringLiteral("Arguments are split at spaces; quote values with spaces. "
                                     "Environment variables as KEY=value.");
                  alert.buttons = {{QStringLiteral("Launch")}, {QStringLiteral("Cancel")}};
                  alert.accessory = &accessory;
                  alert.initialFocus = arguments;
                  if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
                      return QtFuture::makeReadyFuture();
                  const QString bundleID = popup->currentData().toString();
                  if (bundleID.isEmpty())
                      return QtFuture::makeReadyFuture();

                  const Settings typed{arguments->text(), environment->text(), restart->isChecked()};
                  save(bundleID, typed);
                  const QStringList argumentList = parseArguments(typed.arguments);
                  const std::map<QString, QString> variables = parseEnvironment(typed.environment);
                  const QString appName = popup->currentText();
                  return QtConcurrent::run([=] {
                             return DeviceApp::launch(bundleID, argumentList, variables, typed.restart,
                                                      deviceID);
                         })
                      .then(QCoreApplication::instance(), [=](bool launched) {
                          if (launched)
                              Toast::show(QStringLiteral("Launched ") + appName,
                                          launchDetail(argumentList.size(), qsizetype(variables.size())),
                                          QStringLiteral("play.fill"), false);
                          else
                              Toast::show(QStringLiteral("Couldn’t launch ") + appName,
                                          QStringLiteral("Is ") + deviceName + QStringLiteral(" unlocked?"),
                                          QStringLiteral("play.fill"), true);
                      });
              })
        .unwrap();
}

} // namespace quorvex

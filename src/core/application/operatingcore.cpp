// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/operatingcore.h"

#include "core/diagnostics/logging.h"
#include "core/settings/settingsfile.h"
#include "core/settings/userfolder.h"

#include <QDir>

#include <utility>

namespace {

// Translated where they are emitted; the source texts are what a Japanese window shows.
const char* const missingMessage = QT_TRANSLATE_NOOP(
    "OperatingCore", "「AZIVEX.DAT（環境設定ファイル）」がありませんでしたので作成しました。\r\n"
                     "一旦プログラムを終了させます。\r\n\r\n"
                     "再起動後、ポート等の内容を確認・設定してください。");

const char* const recreatedMessage = QT_TRANSLATE_NOOP(
    "OperatingCore", "環境設定のバージョンアップが有りましたので「AZIVEX.DAT」を再作成しました。\r\n"
                     "一旦終了させます。\r\n\r\n"
                     "ポート等の内容を確認・設定してください。");

const char* const unreadableMessage = QT_TRANSLATE_NOOP(
    "OperatingCore", "「AZIVEX.DAT（環境設定ファイル）」を読み込めませんでした。\r\n"
                     "ファイルを確認してから再起動してください。");

const char* const notWrittenMessage = QT_TRANSLATE_NOOP(
    "OperatingCore", "「AZIVEX.DAT（環境設定ファイル）」を作成できませんでした。\r\n"
                     "フォルダへの書き込み権限を確認してください。");

void warn(const QString& file, const char* what, const QString& reason) {
    qCWarning(lcSettings).noquote() << QStringLiteral("%1 %2: %3").arg(file, QLatin1StringView(what), reason);
}

} // namespace

Settings OperatingCore::defaults() {
    return {QStringLiteral("3"), QStringLiteral("9600,N,8,1"), QStringLiteral("0"),
            QStringLiteral("0"), QStringLiteral("0")};
}

OperatingCore::OperatingCore(QObject* parent)
    : QObject(parent), m_store(new SettingsStore(this)), m_session(new RotatorSession(this)),
      m_reconnector(new Reconnector(*m_session, this)),
      m_aiming(new Aiming(*m_store, *m_session, this)),
      m_wsjtx(new WsjtxFollower(*m_store, *m_aiming, this)), m_settings(defaults()) {
    connect(m_store, &SettingsStore::statusWanted, this, &OperatingCore::statusChanged);
    connect(m_store, &SettingsStore::changed, this, &OperatingCore::applyIni);
    connect(m_aiming, &Aiming::statusWanted, this, &OperatingCore::statusChanged);
    // Why a port did not open goes to standard error once, not at every retry.
    connect(m_session, &RotatorSession::openRefused, this, [this](const QString& reason) {
        if (reason != m_lastOpenError)
            qCWarning(lcLink).noquote()
                << m_session->link().portName() << "not opened:" << reason;
        m_lastOpenError = reason;
    });
    connect(m_session, &RotatorSession::openChanged, this, [this](bool open) {
        if (open)
            m_lastOpenError.clear();
    });
    connect(m_reconnector, &Reconnector::reconnected, this, [this](const QString& port) {
        emit statusChanged(tr("%1 を再接続しました").arg(port));
    });
}

bool OperatingCore::start() {
    emit statusChanged(tr("初期化中"));
    m_session->setCommanded(QString());
    emit pageWanted(Page::Operating);
    loadIni();
    m_settingsFileName = WorkingDir::resolve(SettingsCodec::fileName);
    const Settings boxes = defaults();

    if (!SettingsFile::exists(m_settingsFileName)) {
        if (!m_standardPictures.isEmpty()) {
            const QString error = UserFolder::prepare(QDir::currentPath(), m_standardPictures);
            if (!error.isEmpty())
                warn(QStringLiteral("map pictures"), "not copied", error);
        }
        const bool written = writeSettings(
            SettingsCodec::defaultDataLine(boxes.portNo, boxes.lineSettings, boxes.offset));
        emit pageWanted(Page::Settings);
        emit messageRequested(tr(written ? missingMessage : notWrittenMessage));
        return false;
    }
    const SettingsFile::FirstLine first =
        SettingsFile::readFirstLine(m_settingsFileName, SettingsCodec::marker);
    if (first.status != SettingsFile::ReadStatus::Ok) {
        // Rewriting a file that could not be read would destroy the operator's
        // settings: say so and leave it alone.
        warn(m_settingsFileName, "not read", first.reason);
        emit messageRequested(tr(unreadableMessage));
        return false;
    }
    const QString line = SettingsCodec::decodeLine(first.bytes);
    // The first replies queue up behind the settings line.
    m_session->seedReplies(line);

    const bool current = SettingsCodec::isCurrentFormat(line);
    const SettingsFields fields =
        current ? SettingsCodec::extract(line) : SettingsCodec::extractLinkFields(line);
    // A port number or line settings that are empty in the file are taken from the
    // boxes instead.
    if (fields.portNo && !fields.portNo->isEmpty())
        m_settings.portNo = *fields.portNo;
    if (fields.lineSettings && !fields.lineSettings->isEmpty())
        m_settings.lineSettings = *fields.lineSettings;
    if (!current) {
        const bool written = writeSettings(
            SettingsCodec::recreatedDataLine(m_settings.portNo, m_settings.lineSettings));
        emit messageRequested(tr(written ? recreatedMessage : notWrittenMessage));
        return false;
    }
    if (fields.pictureNo)
        m_settings.pictureNo = *fields.pictureNo;
    if (fields.offset)
        m_settings.offset = *fields.offset;
    m_session->setOffset(m_settings.offset);
    if (fields.controlPosition)
        m_settings.controlPosition = *fields.controlPosition;
    // A shown switch panel is registered at once, as ticking its box does.
    if (m_settings.controlPosition == QStringLiteral("1"))
        registerSettings(m_settings);
    else
        emit settingsShown(m_settings);
    m_session->openLink(m_settings.portNo, m_settings.lineSettings);
    emit started();
    m_store->startWatching();
    if (ini().state() == IniFile::State::Unreadable)
        emit statusChanged(tr("%1 を読み込めませんでした").arg(ini().path()));
    m_store->startShowing();
    return true;
}

bool OperatingCore::writeSettings(const QString& dataLine) {
    QString error;
    if (SettingsFile::replaceContents(m_settingsFileName, SettingsCodec::fileText(dataLine),
                                      SettingsCodec::marker, &error))
        return true;
    warn(m_settingsFileName, "not written", error);
    return false;
}

void OperatingCore::registerSettings(const Settings& entered) {
    m_session->closeLink();
    const QString picture = m_settings.pictureNo;
    m_settings = entered;
    m_settings.pictureNo = picture;
    if (m_settings.offset.isEmpty())
        m_settings.offset = QStringLiteral("0");
    m_session->setOffset(m_settings.offset);
    emit settingsShown(m_settings);
    const bool written = writeSettings(SettingsCodec::registeredDataLine(m_settings));
    emit statusChanged(QString());
    m_session->openLink(m_settings.portNo, m_settings.lineSettings);
    emit statusChanged(written ? tr("環境ファイルに登録完了")
                               : tr("環境ファイルに登録できませんでした"));
}

void OperatingCore::loadIni() {
    m_store->load(WorkingDir::resolve(iniFileName));
    m_reconnectApplied = m_store->flag(Keys::linkReconnect, false);
    m_reconnector->setEnabled(m_reconnectApplied);
    m_linkApplied = linkText();
    useLinkSetup(readLinkSetup());
    m_aiming->applySettings();
    m_store->checkFlag(Keys::linkReconnect);
    m_store->checkFlag(WsjtxFollower::followKey);
}

void OperatingCore::reloadIni() {
    m_store->reload();
}

QString OperatingCore::linkText() const {
    QString text;
    for (IniKey key : {Keys::linkProtocol, Keys::linkDevice, Keys::linkHamlibModel, Keys::linkPoll,
                       Keys::linkRange, Keys::linkTimeout})
        text += m_store->value(key) + u'\n';
    return text;
}

void OperatingCore::applyIni() {
    const bool reconnect = m_store->flag(Keys::linkReconnect, false);
    if (reconnect != std::exchange(m_reconnectApplied, reconnect))
        m_reconnector->setEnabled(reconnect);
    const QString link = linkText();
    if (link != std::exchange(m_linkApplied, link))
        useLinkSetup(readLinkSetup());
    m_store->checkFlag(Keys::linkReconnect);
    m_store->checkFlag(WsjtxFollower::followKey);
}

LinkSetup OperatingCore::readLinkSetup() {
    LinkSetup setup;
    const auto refuseKey = [this](IniKey key, const QString& value, const QString& why) {
        m_store->refuse(key, value, why);
    };
    const QString protocol = m_store->value(Keys::linkProtocol);
    if (!protocol.isEmpty()) {
        if (const auto p = LinkSetup::protocolNamed(protocol))
            setup.protocol = *p;
        else
            refuseKey(Keys::linkProtocol, protocol,
                      QStringLiteral("not native, gs232a, gs232b or hamlib"));
    }
    setup.device = m_store->value(Keys::linkDevice);
    // A whole number within limits, or the default when empty.
    const auto whole = [&](IniKey key, int min, int max, int fallback) {
        const QString text = m_store->value(key);
        if (text.isEmpty())
            return fallback;
        bool ok = false;
        const int v = text.toInt(&ok);
        if (ok && v >= min && v <= max)
            return v;
        refuseKey(key, text, QStringLiteral("not a whole number from %1 to %2").arg(min).arg(max));
        return fallback;
    };
    setup.hamlibModel = whole(Keys::linkHamlibModel, 1, 999999, 0);
    setup.pollMs = whole(Keys::linkPoll, LinkSetup::minPollMs, LinkSetup::maxPollMs, setup.pollMs);
    setup.timeoutMs = 1000 * whole(Keys::linkTimeout, LinkSetup::minTimeoutS,
                                   LinkSetup::maxTimeoutS, setup.timeoutMs / 1000);
    const QString range = m_store->value(Keys::linkRange);
    if (!range.isEmpty()) {
        setup.range = RotationRange::parse(range);
        if (!setup.range)
            refuseKey(Keys::linkRange, range,
                      QStringLiteral("not a range such as 0-450, -180-180 or 0-360"));
    }
    return setup;
}

void OperatingCore::useLinkSetup(const LinkSetup& setup) {
    const bool replace = setup != m_linkSetup;
    m_linkSetup = setup;
    if (replace) {
        const bool wasOpen = m_session->link().isOpen();
        m_session->setLink(makeLink(setup));
        if (wasOpen)
            m_session->openLink(m_settings.portNo, m_settings.lineSettings);
    }
    m_session->setRange(setup.range.value_or(m_session->link().ownRange()));
    if (replace)
        emit linkSetupChanged();
}

bool OperatingCore::setLinkSetup(const LinkSetup& setup) {
    const LinkSetup was = m_linkSetup;
    bool saved = true;
    const auto save = [&](IniKey key, bool changed, const QString& value) {
        if (changed)
            saved = m_store->save(key, value) && saved;
    };
    save(Keys::linkProtocol, setup.protocol != was.protocol,
         LinkSetup::protocolName(setup.protocol));
    save(Keys::linkDevice, setup.device != was.device, setup.device);
    save(Keys::linkHamlibModel, setup.hamlibModel != was.hamlibModel,
         setup.hamlibModel ? QString::number(setup.hamlibModel) : QString());
    save(Keys::linkPoll, setup.pollMs != was.pollMs, QString::number(setup.pollMs));
    save(Keys::linkRange, setup.range != was.range, setup.range ? setup.range->text() : QString());
    save(Keys::linkTimeout, setup.timeoutMs != was.timeoutMs,
         QString::number(setup.timeoutMs / 1000));
    m_linkApplied = linkText();
    useLinkSetup(setup);
    return saved;
}

std::optional<GeoPoint> OperatingCore::pictureCentre(int index) const {
    if (index >= 0 && index <= 2)
        return Geodesy::standardCentre();
    const QStringList parts = m_store->value(Keys::mapsCentre).split(u',');
    bool latOk = false, lonOk = false;
    if (index > 4 || parts.size() != 2)
        return std::nullopt;
    const GeoPoint centre{parts[0].trimmed().toDouble(&latOk), parts[1].trimmed().toDouble(&lonOk)};
    if (!latOk || !lonOk)
        return std::nullopt;
    return centre;
}

bool OperatingCore::setStationPicturesCentre(const GeoPoint& point) {
    return m_store->save(Keys::mapsCentre, QStringLiteral("%1, %2").arg(point.lat).arg(point.lon));
}

void OperatingCore::setPictureNumber(int index) {
    m_settings.pictureNo = QString::number(index);
    // Even the same number: pictures 4 and 5 are shown anew when drawn anew.
    emit pictureChanged(index);
}

int OperatingCore::pictureNumber() const {
    return m_settings.pictureNo.toInt();
}

bool OperatingCore::setReconnectEnabled(bool on) {
    m_reconnector->setEnabled(on);
    m_reconnectApplied = on;
    return m_store->save(Keys::linkReconnect, on ? QStringLiteral("true") : QStringLiteral("false"));
}

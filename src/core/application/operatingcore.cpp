// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/operatingcore.h"

#include "core/geography/locator.h"
#include "core/settings/settingsfile.h"
#include "core/settings/userfolder.h"

#include <QDir>

#include <array>
#include <cmath>
#include <cstdio>

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
    std::fprintf(stderr, "azivex: %s %s: %s\n", qPrintable(file), what, qPrintable(reason));
}

} // namespace

Settings OperatingCore::defaults() {
    return {QStringLiteral("3"), QStringLiteral("9600,N,8,1"), QStringLiteral("0"),
            QStringLiteral("0"), QStringLiteral("0")};
}

OperatingCore::OperatingCore(QObject* parent)
    : QObject(parent), m_session(new RotatorSession(this)),
      m_reconnector(new Reconnector(*m_session, this)),
      m_countries(new CountryTable(
          [] { return CountryFile::defaultPath(QDir::currentPath()); }, this)),
      m_wsjtx(new WsjtxFollower(
          {&m_ini, [this](IniKey key, const QString& value) { return saveIni(key, value); },
           [this] { return m_station.point; }, [this] { return m_station.set; }, m_countries,
           [this](const QString& text) { emit statusChanged(text); }},
          this)),
      m_settings(defaults()) {
    connect(this, &OperatingCore::aimSettingsChanged, m_wsjtx, &WsjtxFollower::stationChanged);
    connect(m_countries, &CountryTable::statusWanted, this, &OperatingCore::statusChanged);
    // Why a port did not open goes to standard error once, not at every retry.
    connect(m_session, &RotatorSession::openRefused, this, [this](const QString& reason) {
        if (reason != m_lastOpenError)
            warn(m_session->link().portName(), "not opened", reason);
        m_lastOpenError = reason;
    });
    connect(m_session, &RotatorSession::openChanged, this, [this](bool open) {
        if (open)
            m_lastOpenError.clear();
    });
    connect(m_reconnector, &Reconnector::reconnected, this, [this](const QString& port) {
        emit statusChanged(tr("%1 を再接続しました").arg(port));
    });
    m_iniReload.setInterval(iniReloadMs);
    connect(&m_iniReload, &QTimer::timeout, this, &OperatingCore::reloadIni);
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
    m_started = true;
    m_iniReload.start();
    if (m_ini.state() == IniFile::State::Unreadable)
        emit statusChanged(tr("%1 を読み込めませんでした").arg(m_ini.path()));
    showRefusals();
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
    m_ini = IniFile(WorkingDir::resolve(iniFileName));
    if (m_ini.load() == IniFile::State::Unreadable)
        warn(m_ini.path(), "not read, and will not be overwritten", m_ini.reason());
    m_reconnector->setEnabled(m_ini.flag(Keys::linkReconnect, false));
    useLinkSetup(readLinkSetup());
    loadAimSettings();
    checkFlags();
    m_applied = appliedNow();
}

void OperatingCore::checkFlags() {
    for (const IniKey key : {Keys::linkReconnect, Keys::wsjtxFollow}) {
        const QString value = m_ini.value(key, {});
        // Not a flag when what it reads depends on the fallback.
        if (!value.isEmpty() && m_ini.flag(key, true) != m_ini.flag(key, false))
            refuse(QStringLiteral("[%1] %2").arg(key.section, key.name), value,
                   QStringLiteral("neither true nor false"));
    }
}

void OperatingCore::reloadIni() {
    if (m_ini.reload())
        applyIni();
}

OperatingCore::Applied OperatingCore::appliedNow() const {
    Applied now;
    now.rotctld = m_ini.value(Keys::rotctldListen, {});
    now.n1mm = listenAddress(Listener::N1mm);
    now.pstRotator = listenAddress(Listener::PstRotator);
    now.n1mmRotor = n1mmRotor();
    now.n1mmReport = n1mmReport();
    now.wsjtxListen = m_ini.value(Keys::wsjtxListen, {});
    now.reconnect = m_ini.flag(Keys::linkReconnect, false);
    for (IniKey key : {Keys::linkProtocol, Keys::linkDevice, Keys::linkHamlibModel, Keys::linkPoll,
                       Keys::linkRange, Keys::linkTimeout})
        now.link += m_ini.value(key, {}) + u'\n';
    QStringList aim{m_ini.value(Keys::stationLocator, {}), m_ini.value(Keys::stationLatitude, {}),
                    m_ini.value(Keys::stationLongitude, {}), m_ini.value(Keys::aimPark, {})};
    for (int n = 1; n <= presetCount; ++n)
        aim << m_ini.value(Keys::aimPreset(n), {});
    now.aim = aim.join(u'\n');
    return now;
}

void OperatingCore::applyIni() {
    const Applied now = appliedNow();
    const Applied was = std::exchange(m_applied, now);
    if (now.reconnect != was.reconnect)
        m_reconnector->setEnabled(now.reconnect);
    if (now.aim != was.aim)
        loadAimSettings();
    if (now.rotctld != was.rotctld && !m_rotctldOverride) {
        emit rotctldListenChanged(now.rotctld);
        emit rotctldStateChanged();
    }
    for (const auto& [listener, address, before] :
         {std::tuple{Listener::N1mm, now.n1mm, was.n1mm},
          std::tuple{Listener::PstRotator, now.pstRotator, was.pstRotator}})
        if (address != before) {
            emit listenAddressChanged(listener, address);
            emit listenerStateChanged();
        }
    if (now.n1mmRotor != was.n1mmRotor || now.n1mmReport != was.n1mmReport)
        emit n1mmSettingsChanged();
    if (now.wsjtxListen != was.wsjtxListen)
        m_wsjtx->setListen(now.wsjtxListen);
    if (now.link != was.link)
        useLinkSetup(readLinkSetup());
    checkFlags();
    showRefusals();
}

LinkSetup OperatingCore::readLinkSetup() {
    LinkSetup setup;
    const auto refuseKey = [this](IniKey key, const QString& value, const QString& why) {
        refuse(QStringLiteral("[%1] %2").arg(key.section, key.name), value, why);
    };
    const QString protocol = m_ini.value(Keys::linkProtocol, {});
    if (!protocol.isEmpty()) {
        if (const auto p = LinkSetup::protocolNamed(protocol))
            setup.protocol = *p;
        else
            refuseKey(Keys::linkProtocol, protocol,
                      QStringLiteral("not native, gs232a, gs232b or hamlib"));
    }
    setup.device = m_ini.value(Keys::linkDevice, {});
    // A whole number within limits, or the default when empty.
    const auto whole = [&](IniKey key, int min, int max, int fallback) {
        const QString text = m_ini.value(key, {});
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
    const QString range = m_ini.value(Keys::linkRange, {});
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
            saved = saveIni(key, value) && saved;
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
    useLinkSetup(setup);
    return saved;
}

void OperatingCore::refuse(const QString& key, const QString& value, const QString& why) {
    warn(m_ini.path(), qPrintable(key), why + QStringLiteral(": ") + value);
    m_refusals << tr("%1 の %2 は使えません: %3").arg(m_ini.path(), key, value);
    showRefusals();
}

void OperatingCore::showRefusals() {
    if (!m_started)
        return;
    for (const QString& text : std::exchange(m_refusals, {}))
        if (!m_refusalsShown.contains(text)) {
            m_refusalsShown.insert(text);
            emit statusChanged(text);
        }
}

IniKey OperatingCore::Keys::aimPreset(int n) {
    static const std::array<QByteArray, presetCount> names = [] {
        std::array<QByteArray, presetCount> out;
        for (int i = 0; i < presetCount; ++i)
            out[std::size_t(i)] = "preset" + QByteArray::number(i + 1);
        return out;
    }();
    const QByteArray& name = names.at(std::size_t(n - 1));
    return {QLatin1StringView("aim"), QLatin1StringView(name.constData(), name.size())};
}

namespace {

std::optional<OperatingCore::Station> stationFrom(const QString& locator, const QString& latitude,
                                                  const QString& longitude) {
    if (!locator.isEmpty()) {
        const std::optional<GeoPoint> centre = Locator::centre(locator, 4);
        if (!centre)
            return std::nullopt;
        return OperatingCore::Station{*centre, true, Locator::canonical(locator)};
    }
    if (latitude.isEmpty() && longitude.isEmpty())
        return OperatingCore::Station{Geodesy::standardCentre(), false, {}};
    bool latOk = false, lonOk = false;
    const double lat = latitude.toDouble(&latOk);
    const double lon = longitude.toDouble(&lonOk);
    if (!latOk || !lonOk || !(std::abs(lat) <= 90 && std::abs(lon) <= 180)) // NaN too
        return std::nullopt;
    return OperatingCore::Station{{lat, lon}, true, latitude + QStringLiteral(", ") + longitude};
}

} // namespace

void OperatingCore::loadAimSettings() {
    const std::optional<Station> station =
        stationFrom(m_ini.value(Keys::stationLocator, {}), m_ini.value(Keys::stationLatitude, {}),
                    m_ini.value(Keys::stationLongitude, {}));
    if (!station)
        refuse(QStringLiteral("[station]"),
               QStringList{m_ini.value(Keys::stationLocator, {}),
                           m_ini.value(Keys::stationLatitude, {}),
                           m_ini.value(Keys::stationLongitude, {})}
                   .join(u' ')
                   .simplified(),
               QStringLiteral("neither a locator nor a latitude and longitude; bearings are from "
                              "the standard pictures' centre"));
    m_station = station.value_or(Station{Geodesy::standardCentre(), false, {}});
    const QString park = m_ini.value(Keys::aimPark, {});
    bool parkOk = false;
    const double parkAzimuth = park.toDouble(&parkOk);
    if (!park.isEmpty() && (!parkOk || parkAzimuth < 0 || parkAzimuth > 360))
        refuse(QStringLiteral("[aim] park"), park, QStringLiteral("not an azimuth from 0 to 360"));
    m_session->setParkAzimuth(parkOk && parkAzimuth >= 0 && parkAzimuth <= 360
                                  ? std::optional<double>(parkAzimuth)
                                  : std::nullopt);
    emit aimSettingsChanged();
}

bool OperatingCore::setStation(const QString& text) {
    const QString trimmed = text.trimmed();
    QString locator, latitude, longitude;
    if (trimmed.contains(u',')) {
        latitude = trimmed.section(u',', 0, 0).trimmed();
        longitude = trimmed.section(u',', 1).trimmed();
    } else {
        locator = trimmed;
    }
    if (!stationFrom(locator, latitude, longitude) || (trimmed.contains(u',') && latitude.isEmpty()))
        return false;
    const bool saved = saveIni(Keys::stationLocator, locator) &&
                       saveIni(Keys::stationLatitude, latitude) &&
                       saveIni(Keys::stationLongitude, longitude);
    loadAimSettings();
    return saved;
}

QList<OperatingCore::Preset> OperatingCore::presets() const {
    QList<Preset> out;
    for (int n = 1; n <= presetCount; ++n) {
        const QString value = m_ini.value(Keys::aimPreset(n), {});
        const qsizetype bar = value.indexOf(u'|');
        if (bar <= 0 || value.sliced(bar + 1).trimmed().isEmpty())
            continue;
        out.append({value.first(bar).trimmed(), value.sliced(bar + 1).trimmed()});
    }
    return out;
}

OperatingCore::LookUp OperatingCore::lookUp(const QString& text) {
    m_countries->load();
    LookUp out{Target::parse(text, m_countries->file(), m_countries->isLoading()), std::nullopt};
    out.bearings = out.target.bearings(m_station.point);
    if (out.target.place && out.bearings && out.bearings->shortKm)
        m_lastPlace = out.bearings;
    else
        m_lastPlace.reset();
    emit lastPlaceChanged();
    return out;
}

std::optional<GeoPoint> OperatingCore::pictureCentre(int index) const {
    if (index >= 0 && index <= 2)
        return Geodesy::standardCentre();
    const QStringList parts = m_ini.value(Keys::mapsCentre, {}).split(u',');
    bool latOk = false, lonOk = false;
    if (index > 4 || parts.size() != 2)
        return std::nullopt;
    const GeoPoint centre{parts[0].trimmed().toDouble(&latOk), parts[1].trimmed().toDouble(&lonOk)};
    if (!latOk || !lonOk)
        return std::nullopt;
    return centre;
}

bool OperatingCore::setStationPicturesCentre(const GeoPoint& point) {
    return saveIni(Keys::mapsCentre, QStringLiteral("%1, %2").arg(point.lat).arg(point.lon));
}

RotatorSession::AimResult OperatingCore::aimAtTarget(const QString& text, bool longPath) {
    const LookUp found = lookUp(text);
    if (!found.bearings)
        return RotatorSession::AimResult::NoTarget;
    return m_session->aimAt(longPath ? found.bearings->longPath : found.bearings->shortPath);
}

bool OperatingCore::saveIni(IniKey key, const QString& value) {
    // Hand edits made since the last reading are taken first; the caller applies its
    // own key.
    reloadIni();
    QString error;
    const bool saved = m_ini.set(key, value, &error);
    m_applied = appliedNow();
    if (saved)
        return true;
    warn(m_ini.path(), "not written", error);
    emit statusChanged(tr("%1 に保存できませんでした").arg(m_ini.path()));
    return false;
}

QString OperatingCore::rotctldListen() const {
    return m_rotctldOverride.value_or(m_ini.value(Keys::rotctldListen, {}));
}

void OperatingCore::overrideRotctldListen(const QString& endpoint) {
    m_rotctldOverride = endpoint;
    emit rotctldListenChanged(endpoint);
    emit rotctldStateChanged();
}

bool OperatingCore::setRotctldListen(const QString& endpoint) {
    m_rotctldOverride.reset();
    const bool saved = saveIni(Keys::rotctldListen, endpoint);
    emit rotctldListenChanged(rotctldListen());
    emit rotctldStateChanged();
    return saved;
}

void OperatingCore::setRotctldError(const QString& error) {
    m_rotctldError = error;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "azivex: rotctld server not started on %s: %s\n",
                     qPrintable(rotctldListen()), qPrintable(error));
        emit statusChanged(tr("rotctld を開けません"));
    }
    emit rotctldStateChanged();
}

bool OperatingCore::setReconnectEnabled(bool on) {
    m_reconnector->setEnabled(on);
    return saveIni(Keys::linkReconnect, on ? QStringLiteral("true") : QStringLiteral("false"));
}

IniKey OperatingCore::listenKey(Listener listener) {
    return listener == Listener::N1mm ? Keys::n1mmListen : Keys::pstRotatorListen;
}

QString OperatingCore::listenerName(Listener listener) {
    return listener == Listener::N1mm ? QStringLiteral("N1MM") : QStringLiteral("PstRotator");
}

bool OperatingCore::setListenAddress(Listener listener, const QString& endpoint) {
    const bool saved = saveIni(listenKey(listener), endpoint);
    emit listenAddressChanged(listener, listenAddress(listener));
    emit listenerStateChanged();
    return saved;
}

QString OperatingCore::listenerError(Listener listener) const {
    return m_listenerErrors.value(listener);
}

void OperatingCore::setListenerError(Listener listener, const QString& error) {
    m_listenerErrors.insert(listener, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "azivex: %s listener not started on %s: %s\n",
                     qPrintable(listenerName(listener)), qPrintable(listenAddress(listener)),
                     qPrintable(error));
        emit statusChanged(tr("%1 を開けません").arg(listenerName(listener)));
    }
    emit listenerStateChanged();
}

void OperatingCore::noteIgnoredDatagrams(Listener listener, int count, const QString& last) {
    m_ignored.insert(listener, {count, last});
    emit listenerStateChanged();
}

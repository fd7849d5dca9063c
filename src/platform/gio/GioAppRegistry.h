#pragma once

#include "platform/AppRegistry.h"

namespace marvoline {

// The registry over GIO (GDesktopAppInfo, shared-mime-info, mimeapps.list).
class GioAppRegistry final : public AppRegistry {
public:
    GioAppRegistry();
    ~GioAppRegistry() override;

    QList<QUrl> applicationsForFile(const QUrl& file) override;
    std::optional<QUrl> defaultApplicationForFile(const QUrl& file) override;
    std::optional<QString> bundleIdentifier(const QUrl& app) override;
    std::optional<AppBundleInfo> bundleInfo(const QUrl& app) override;
    std::optional<QString> shortVersion(const QUrl& app) override;
    QIcon applicationIcon(const QUrl& app) override;
    QList<std::optional<AppEntry>> applicationEntries(const QList<QUrl>& apps) override;
    std::optional<QUrl> applicationForIdentifier(const QString& desktopId) override;
    QList<InstalledApp> allApplications() override;
    QIcon installedAppIcon(const InstalledApp& app) override;
    void registerOwnApplication() override;
    bool setOwnApplicationAsDefault(const QString& contentType) override;
    std::optional<QString> contentType(const QUrl& file) override;
    bool contentTypeIsA(const QString& type, const QString& supertype) override;
    std::optional<QString> contentTypeDescription(const QString& type) override;
    bool handlesUriScheme(const QString& scheme) override;
    void launch(const QUrl& app, const QList<QUrl>& files, LaunchCallback done) override;

    // One argument of a desktop entry's Exec line, quoted by the Desktop Entry
    // rules when it needs quoting ("%" doubled as the field-code rule asks).
    // The string-level escapes of the file format are the writer's business.
    static QString desktopExecArgument(const QString& argument);
    // The Exec value of the program's own entry, running program with the
    // entry's files. GIO refuses an entry whose program it cannot find as
    // written, and "%%" is found as written: a program whose path holds a
    // percent sign is run through env, which GIO finds in PATH.
    static QString ownExecLine(const QString& program);
    // Reads the application folders' desktop entries and the defaults, as the
    // first look-up of the process does; any thread, at any time.
    static void readApplicationFolders();
};

} // namespace marvoline

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace marvoline {

// The version of the newest release that an application's AppStream metainfo
// declares. The component is the one whose <launchable type="desktop-id"> or
// <id> (with or without ".desktop") names the desktop file ID; the files are
// metainfo/*.metainfo.xml and appdata/*.appdata.xml (either suffix in either
// folder) below XDG_DATA_HOME and each XDG_DATA_DIRS entry, in that order.
// Absent when no such component declares a release. The folders are listed
// and each file is read at most once per process.
std::optional<QString> appStreamReleaseVersion(const QString& desktopId);

// The newest release of the component in one metainfo document that names the
// desktop file ID. "Newest" is the latest timestamp or date; among releases of
// the same (or no) date the highest version; among equal versions the first
// listed. Absent for a malformed document or one without such a release.
std::optional<QString> newestReleaseVersion(const QByteArray& metainfoXml,
                                            const QString& desktopId);

} // namespace marvoline

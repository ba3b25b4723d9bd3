// One install event as the statistics service receives it: field names
// (ASCII) mapped to values, ordered by name byte by byte, each name once.
#ifndef INSTALLER_STATS_STAT_EVENT_H_
#define INSTALLER_STATS_STAT_EVENT_H_

#include <map>
#include <string>

namespace lite_installer {

// std::string compares as unsigned bytes, which is the order of the wire.
using StatEvent = std::map<std::string, std::wstring>;

// Selects the counter id and the path segment of a statistics request.
enum StatKind {
  kStatKindExtendedStat = 0,
  kStatKindReinstallDialog = 1,
};

}  // namespace lite_installer

#endif  // INSTALLER_STATS_STAT_EVENT_H_

// The parameters that every statistics request repeats, and the request
// URL of one event in the statistics service's path-segment form:
//   https://<host>/installstats/send/dtype=stred/pid=457/cid=<counter>
//     /path=<kind path>/vars=-<name>=<value>,-<name>=<value>.../*
// Pure text work: no registry, no network.
#ifndef INSTALLER_STATS_STAT_QUERY_BUILDER_H_
#define INSTALLER_STATS_STAT_QUERY_BUILDER_H_

#include <string>

#include "installer/stats/stat_event.h"

namespace lite_installer {

// The installer type of this installer: the lite installer.
constexpr int kLiteInstallerType = 0;

class StatQueryBuilder {
 public:
  StatQueryBuilder(int installer_type, const std::wstring& host);
  virtual ~StatQueryBuilder();

  // Every persistent parameter and the fields of |event| (a parameter wins
  // over a field of the same name), old_style=0, brand_id "unknown" when
  // absent; each field logged; names and values with "-", "," and "="
  // replaced by "_" and escaped as path segments.
  virtual std::wstring GetQueryUrl(const StatEvent& event) const;

  void SetParameter(const std::string& name, const std::wstring& value);
  // Empty when absent.
  std::wstring GetParameter(const std::string& name) const;
  bool HasParameter(const std::string& name) const;
  const StatEvent& parameters() const { return parameters_; }

  // Only the kinds of the StatKind table; another value is ignored.
  void set_kind(int kind);
  int kind() const { return kind_; }
  int installer_type() const { return installer_type_; }

  // "name\nvalue\n" for every parameter in name order: the registry form.
  std::wstring ParameterText() const;
  // Reads the registry form back: lines alternate between a name and its
  // value; an empty line where a name is due is skipped. Names keep the
  // low byte of each character.
  void ApplyParameterText(const std::wstring& text);

 private:
  const int target_ = 0;
  const int installer_type_;
  const std::wstring host_;
  StatEvent parameters_;
  int kind_ = kStatKindExtendedStat;
};

}  // namespace lite_installer

#endif  // INSTALLER_STATS_STAT_QUERY_BUILDER_H_

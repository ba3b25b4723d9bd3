#include "installer/stats/stat_query_builder.h"

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/stats/stat_escape.h"

namespace lite_installer {
namespace {

struct KindInfo {
  int kind;
  const char* counter_id;
  const char* path;
};

constexpr KindInfo kKinds[] = {
    {kStatKindExtendedStat, "72992", "extended_stat"},
    {kStatKindReinstallDialog, "72696", "kvbrowser_reinstall_dialog"},
};

const KindInfo* FindKind(int kind) {
  for (const KindInfo& info : kKinds) {
    if (info.kind == kind) return &info;
  }
  return nullptr;
}

// "-", "," and "=" separate the fields on the wire.
std::wstring ReplaceSeparators(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L'-' || c == L',' || c == L'=') c = L'_';
  }
  return text;
}

}  // namespace

StatQueryBuilder::StatQueryBuilder(int installer_type,
                                   const std::wstring& host)
    : installer_type_(installer_type), host_(host) {}

StatQueryBuilder::~StatQueryBuilder() = default;

void StatQueryBuilder::SetParameter(const std::string& name,
                                    const std::wstring& value) {
  parameters_[name] = value;
}

std::wstring StatQueryBuilder::GetParameter(const std::string& name) const {
  auto found = parameters_.find(name);
  return found == parameters_.end() ? std::wstring() : found->second;
}

bool StatQueryBuilder::HasParameter(const std::string& name) const {
  return parameters_.count(name) != 0;
}

void StatQueryBuilder::set_kind(int kind) {
  if (FindKind(kind)) kind_ = kind;
}

std::wstring StatQueryBuilder::GetQueryUrl(const StatEvent& event) const {
  StatEvent merged = parameters_;
  // insert() keeps a persistent parameter of the same name.
  merged.insert(event.begin(), event.end());
  merged["old_style"] = L"0";
  if (!merged.count("brand_id")) merged["brand_id"] = L"unknown";

  LOG_AS(INFO, "GetQueryUrl") << "InstallStatSender::Send:";
  for (const auto& field : merged)
    LOG_AS(INFO, "GetQueryUrl") << field.first << "=" << field.second;

  std::wstring vars;
  for (const auto& field : merged) {
    std::wstring name = ReplaceSeparators(lite_util::WidenBytes(field.first));
    std::wstring value = ReplaceSeparators(field.second);
    if (!vars.empty()) vars += L",";
    vars += L"-" + EscapeStatSegment(name) + L"=" + EscapeStatSegment(value);
  }

  const KindInfo* kind = FindKind(kind_);
  std::string url = "https://" + lite_util::WideToUtf8(host_) +
                    "/installstats/send/dtype=stred/pid=457/cid=" +
                    kind->counter_id + "/path=" + kind->path;
  // The escaped text is ASCII; the low byte is the whole character.
  if (!vars.empty()) url += "/vars=" + lite_util::NarrowLowBytes(vars);
  url += "/*";
  return lite_util::WidenBytes(url);
}

std::wstring StatQueryBuilder::ParameterText() const {
  std::wstring text;
  for (const auto& field : parameters_) {
    text += lite_util::WidenBytes(field.first);
    text += L"\n";
    text += field.second;
    text += L"\n";
  }
  return text;
}

void StatQueryBuilder::ApplyParameterText(const std::wstring& text) {
  bool name_pending = false;
  std::string name;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (name_pending) {
      parameters_[name] = line;
      name_pending = false;
    } else if (!line.empty()) {
      name = lite_util::NarrowLowBytes(line);
      name_pending = true;
    }
    if (end == text.size()) break;
    start = end + 1;
  }
}

}  // namespace lite_installer

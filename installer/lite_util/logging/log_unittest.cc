#include "installer/lite_util/logging/log.h"

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_util {
namespace {

// Whether "statement << value" compiles for a value of type T.
template <typename T, typename = void>
struct CanLog : std::false_type {};
template <typename T>
struct CanLog<T, std::void_t<decltype(std::declval<LogStatement&>()
                                      << std::declval<T>())>>
    : std::true_type {};

enum PlainResult : uint32_t { kPlainFirst = 0, kPlainFourth = 4 };
enum class ScopedResult : int8_t { kNegative = -3, kSeventy = 70 };
enum SmallEnum : unsigned char { kSmall = 65 };

struct ConvertsToChar {
  operator char() const { return 'x'; }
};

// Text, characters, integers and enumerations; nothing else.
static_assert(CanLog<const char*>::value, "");
static_assert(CanLog<char*>::value, "");
static_assert(CanLog<std::string>::value, "");
static_assert(CanLog<const wchar_t*>::value, "");
static_assert(CanLog<std::wstring>::value, "");
static_assert(CanLog<char>::value, "");
static_assert(CanLog<int>::value, "");
static_assert(CanLog<unsigned long long>::value, "");
static_assert(CanLog<PlainResult>::value, "");
static_assert(CanLog<ScopedResult>::value, "");
static_assert(!CanLog<bool>::value, "a bool would be the byte 0 or 1");
static_assert(!CanLog<double>::value, "a double would be a byte");
static_assert(!CanLog<float>::value, "");
static_assert(!CanLog<void*>::value, "");
static_assert(!CanLog<ConvertsToChar>::value, "");

class LogOperandTest : public testing::Test {
 protected:
  void SetUp() override { SetLogSink(new RecordingSink(&records_)); }
  void TearDown() override { SetLogSink(nullptr); }
  std::vector<LogRecord> records_;
};

TEST_F(LogOperandTest, EnumerationsAreWrittenInDecimal) {
  LOG(ERROR) << "Failed to verify signer, error=" << kPlainFourth;
  LOG(INFO) << ScopedResult::kNegative << " " << ScopedResult::kSeventy
            << " " << kSmall << " " << kPlainFirst;
  ASSERT_EQ(2u, records_.size());
  EXPECT_EQ("Failed to verify signer, error=4", records_[0].text);
  EXPECT_EQ("-3 70 65 0", records_[1].text);
}

TEST_F(LogOperandTest, CharactersTextAndIntegers) {
  char buffer[] = "buffer";
  wchar_t wide[] = L"wide";
  LOG(INFO) << 'c' << buffer << wide << static_cast<unsigned char>(200)
            << static_cast<signed char>(-5) << -1234567890123LL;
  ASSERT_EQ(1u, records_.size());
  EXPECT_EQ("cbufferwide200-5-1234567890123", records_[0].text);
}

}  // namespace
}  // namespace lite_util

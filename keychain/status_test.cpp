#include "keychain/status.h"

#include <gtest/gtest.h>

#include <set>

#include "testing/log_capture.h"

namespace tessra::keychain {
namespace {

using tessra::testing::LogCapture;

TEST(StatusTable, EveryCaseHasOneCodeThatReadsBackAsItself) {
  std::set<std::int32_t> codes;
  for (Status status : allStatuses()) {
    EXPECT_TRUE(codes.insert(rawValue(status)).second) << rawValue(status);
    EXPECT_EQ(statusFromRawValue(rawValue(status)), status);
    if (status != Status::internalComponent) {
      EXPECT_FALSE(description(status).empty());
    }
  }
}

TEST(SecurityError, WritesOneLinePerFailureExceptCancel) {
  struct Row {
    std::int32_t code;
    Status status;
    std::string line;
  };
  const Row rows[] = {
      {-25300, Status::itemNotFound,
       "OSStatus error:[-25300] The specified item could not be found in the keychain.\n"},
      {-128, Status::userCanceled, ""},
      {1, Status::unexpectedError, "OSStatus error:[-99999] Unexpected error has occurred.\n"},
      {-1, Status::unexpectedError, "OSStatus error:[-99999] Unexpected error has occurred.\n"},
      {-2070, Status::internalComponent, "OSStatus error:[-2070] \n"},
      {0, Status::success, "OSStatus error:[0] No error.\n"},
  };
  for (const auto& row : rows) {
    LogCapture capture;
    EXPECT_EQ(securityError(row.code), row.status) << row.code;
    EXPECT_EQ(capture.all(), row.line) << row.code;
  }
}

TEST(StatusError, TravelsAsAnErrorWithDomainCodeAndMessage) {
  ErrorPtr error = std::make_exception_ptr(StatusError(Status::itemNotFound));
  EXPECT_EQ(describe(error), "The specified item could not be found in the keychain.");
  try {
    std::rethrow_exception(error);
  } catch (const StatusError& caught) {
    EXPECT_EQ(caught.status(), Status::itemNotFound);
    EXPECT_EQ(caught.errorCode(), -25300);
    EXPECT_EQ(caught.errorDomain(), StatusError::kErrorDomain);
  }
}

}  // namespace
}  // namespace tessra::keychain

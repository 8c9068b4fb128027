#include "keychain/status.h"

#include <gtest/gtest.h>

#include <set>

#include "keychain/test_support.h"

namespace tessra::keychain {
namespace {

using testing::StdoutCapture;

TEST(StatusTable, TellingCasesHaveTheirCodesAndMessages) {
  struct Row {
    Status status;
    std::int32_t code;
    std::string_view message;
  };
  const Row rows[] = {
      {Status::success, 0, "No error."},
      {Status::unimplemented, -4, "Function or operation not implemented."},
      {Status::io, -36, "I/O error (bummers)"},
      {Status::opWr, -49, "file already open with with write permission"},
      {Status::param, -50, "One or more parameters passed to a function were not valid."},
      {Status::allocate, -108, "Failed to allocate memory."},
      {Status::userCanceled, -128, "User canceled the operation."},
      {Status::badReq, -909, "Bad parameter or invalid state for operation."},
      {Status::internalComponent, -2070, ""},
      {Status::notAvailable, -25291,
       "No keychain is available. You may need to restart your computer."},
      {Status::authFailed, -25293, "The user name or passphrase you entered is not correct."},
      {Status::noSuchKeychain, -25294, "The specified keychain could not be found."},
      {Status::duplicateItem, -25299, "The specified item already exists in the keychain."},
      {Status::itemNotFound, -25300, "The specified item could not be found in the keychain."},
      {Status::interactionNotAllowed, -25308, "User interaction is not allowed."},
      {Status::dataNotAvailable, -25316, "The contents of this item cannot be retrieved."},
      {Status::itemInvalidKey, -34000,
       "A string key in dictionary is not one of the supported keys."},
      {Status::missingEntitlement, -34018,
       "Internal error when a required entitlement isn't present, client has neither "
       "application-identifier nor keychain-access-groups entitlements."},
      {Status::serviceNotAvailable, -67585, "The required service is not available."},
      {Status::conversionError, -67594, "A conversion error has occurred."},
      {Status::unexpectedError, -99999, "Unexpected error has occurred."},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(rawValue(row.status), row.code);
    EXPECT_EQ(statusFromRawValue(row.code), row.status) << row.code;
    EXPECT_EQ(description(row.status), row.message) << row.code;
  }
}

TEST(StatusTable, HasEveryCaseOnceInDeclarationOrder) {
  auto statuses = allStatuses();
  ASSERT_EQ(statuses.size(), 403u);
  std::set<std::int32_t> codes;
  for (Status status : statuses) {
    codes.insert(rawValue(status));
    EXPECT_EQ(statusFromCode(rawValue(status)), status);
    if (status != Status::internalComponent) {
      EXPECT_FALSE(description(status).empty());
    }
  }
  EXPECT_EQ(codes.size(), 403u);

  // The first and last case of each run of consecutive codes.
  const std::pair<std::size_t, Status> boundaries[] = {
      {0, Status::success},
      {10, Status::internalComponent},
      {11, Status::notAvailable},
      {40, Status::inDarkWake},
      {41, Status::aclNotSimple},
      {46, Status::trustNotAvailable},
      {47, Status::unsupportedFormat},
      {55, Status::pkcs12VerifyFailure},
      {62, Status::unsupportedAlgorithm},
      {65, Status::itemInvalidKey},
      {84, Status::upgradePending},
      {87, Status::otrIDTooNew},
      {88, Status::serviceNotAvailable},
      {401, Status::timestampRevocationNotification},
      {402, Status::unexpectedError},
  };
  for (auto [position, status] : boundaries) EXPECT_EQ(statuses[position], status) << position;
  EXPECT_EQ(rawValue(Status::inDarkWake), -25320);
  EXPECT_EQ(rawValue(Status::trustNotAvailable), -25245);
  EXPECT_EQ(rawValue(Status::pkcs12VerifyFailure), -25264);
  EXPECT_EQ(rawValue(Status::unsupportedAlgorithm), -26268);
  EXPECT_EQ(rawValue(Status::upgradePending), -34019);
  EXPECT_EQ(rawValue(Status::otrIDTooNew), -25329);
  EXPECT_EQ(rawValue(Status::timestampRevocationNotification), -67898);
}

TEST(StatusTable, UnknownCodesAreNoCaseButReadAsUnexpected) {
  for (std::int32_t code : {1, -1, -25290, -99998, 12345}) {
    EXPECT_EQ(statusFromRawValue(code), std::nullopt) << code;
    EXPECT_EQ(statusFromCode(code), Status::unexpectedError) << code;
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
    StdoutCapture capture;
    EXPECT_EQ(securityError(row.code), row.status) << row.code;
    EXPECT_EQ(capture.finish(), row.line) << row.code;
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

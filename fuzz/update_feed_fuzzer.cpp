// The update feed as the updater reads it: the version and link of a newer release, and the
// comparison with the running version.
//
// Input: the feed's body.
// Rules: a feed that was read names an http or https link; no two versions are each newer than
// the other, and none is newer than itself.
#include <cstddef>
#include <cstdint>

#include "Tessra/shell/feed_updater.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tessra::fuzz::quietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tessra::FeedUpdater;
  const auto update = FeedUpdater::readFeed(tessra::fuzz::text(data, size));
  if (!update) {
    FUZZ_CHECK(!update.error().isEmpty());
    return 0;
  }
  FUZZ_CHECK(update->url.scheme() == u"https" || update->url.scheme() == u"http");
  const QString& version = update->displayVersionString;
  for (const QString& current : {QStringLiteral("1.0.0"), QStringLiteral("1.10")}) {
    FUZZ_CHECK(!(FeedUpdater::isNewer(version, current) && FeedUpdater::isNewer(current, version)));
  }
  FUZZ_CHECK(!FeedUpdater::isNewer(version, version));
  return 0;
}

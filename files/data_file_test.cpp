#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "files/file.h"
#include "platform/foundation/unique_fd.h"
#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TypedFiles : public ::testing::Test {
 protected:
  Path at(const std::string& name) const { return Path(m_dir.path().string()) + name; }
  int modeOf(const std::string& name) const {
    struct stat info {};
    ::stat((m_dir.path() / name).c_str(), &info);
    return static_cast<int>(info.st_mode & 0777);
  }
  // Every entry of the folder, to prove that no temporary file was left behind.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_dir.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  testing::TempDir m_dir;
};

TEST_F(TypedFiles, BytesRoundTripAndNewFilesAreTheUsersAlone) {
  File<Bytes> file(at("data.bin"));
  const Bytes bytes{0, 1, 2, 255, '\n'};
  file.write(bytes);
  EXPECT_EQ(file.read(), bytes);
  EXPECT_EQ(modeOf("data.bin"), 0600);
  EXPECT_EQ(file.size(), 5u);
  EXPECT_EQ(entries(), std::vector<std::string>{"data.bin"});

  // A replaced file keeps the mode the user gave it.
  ::chmod((m_dir.path() / "data.bin").c_str(), 0644);
  file.write(Bytes{9});
  EXPECT_EQ(modeOf("data.bin"), 0644);
  file.write(Bytes{7, 7}, false);
  EXPECT_EQ(file.read(), (Bytes{7, 7}));
}

TEST_F(TypedFiles, ExistsOnlyForRegularFiles) {
  m_dir.write("regular", "x");
  fs::create_directory(m_dir.path() / "folder");
  fs::create_symlink(m_dir.path() / "regular", m_dir.path() / "link");
  EXPECT_TRUE(File<Bytes>(at("regular")).exists());
  EXPECT_FALSE(File<Bytes>(at("folder")).exists());
  EXPECT_FALSE(File<Bytes>(at("link")).exists());
  EXPECT_FALSE(File<Bytes>(at("missing")).exists());
}

TEST_F(TypedFiles, BadReadsFailWithTheirPath) {
  const struct {
    Path path;
    int errorNumber;
  } cases[] = {
      {Path(""), EISDIR},
      {at("missing"), ENOENT},
      {at("."), EISDIR},
  };
  for (const auto& c : cases) {
    try {
      File<Bytes>(c.path).read();
      ADD_FAILURE() << c.path.rawValue();
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::readFromFileFail);
      EXPECT_EQ(e.path().rawValue(), c.path.rawValue());
      try {
        std::rethrow_exception(e.error());
      } catch (const std::system_error& cause) {
        EXPECT_EQ(cause.code().value(), c.errorNumber) << c.path.rawValue();
      }
    }
  }
  m_dir.write("latin1.txt", "caf\xE9");
  try {
    File<std::string>(at("latin1.txt")).read();
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(describe(e.error()), "conversion(String)");
  }
}

TEST_F(TypedFiles, ANamedPipeOrAFolderIsRefusedAtOnceNeverWaitedOn) {
  const fs::path pipe = m_dir.path() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_directory(m_dir.path() / "folder");
  // Each reader on each item, on another thread: a reader that waits on the pipe fails the test
  // instead of hanging it.
  auto outcomes = std::async(std::launch::async, [&] {
    std::vector<std::string> seen;
    for (const char* name : {"pipe", "folder"}) {
      try {
        (void)File<Bytes>(at(name)).read();
        seen.push_back("read");
      } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), FileError::Kind::readFromFileFail);
        seen.push_back(describe(e.error()));
      }
      seen.push_back(at(name).fileHandleForReading() ? "opened" : "refused");
      seen.push_back(at(name).inputStream() ? "opened" : "refused");
    }
    return seen;
  });
  if (outcomes.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "a reader waits on the pipe";
    // An open waiting on the pipe lets go once a writer has come.
    while (outcomes.wait_for(100ms) != std::future_status::ready)
      platform::UniqueFd(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    return;
  }
  EXPECT_EQ(outcomes.get(),
            (std::vector<std::string>{"open: Not a regular file", "refused", "refused",
                                      "open: Is a directory", "refused", "refused"}));
}

TEST_F(TypedFiles, FailedWritesLeaveTheOldContentWhole) {
  m_dir.write("blocker", "not a folder");
  File<Bytes> inside(at("blocker/data.bin"));
  EXPECT_THROW(inside.write(Bytes{1}), FileError);
  EXPECT_EQ(m_dir.read("blocker"), "not a folder");

  fs::create_directory(m_dir.path() / "folder");
  m_dir.write("folder/keep", "k");
  try {
    File<Bytes>(at("folder")).write(Bytes{1});
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::writeToFileFail);
  }
  EXPECT_EQ(m_dir.read("folder/keep"), "k");
  EXPECT_EQ(entries(), (std::vector<std::string>{"blocker", "folder"}));
}

TEST_F(TypedFiles, APathWithANulByteIsNeitherReadNorWritten) {
  m_dir.write("victim", "precious");
  File<Bytes> cut(Path(at("victim").rawValue() + std::string("\0.tmp", 5)));
  for (const bool atomically : {true, false}) {
    try {
      cut.write(Bytes{'x'}, atomically);
      ADD_FAILURE() << atomically;
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::writeToFileFail);
    }
  }
  EXPECT_THROW(cut.read(), FileError);
  EXPECT_FALSE(cut.exists());
  EXPECT_EQ(m_dir.read("victim"), "precious");
  EXPECT_EQ(entries(), std::vector<std::string>{"victim"});
}

TEST_F(TypedFiles, WritingThroughALinkReplacesItsTargetAndKeepsTheLink) {
  m_dir.write("real.txt", "old");
  fs::create_symlink("real.txt", m_dir.path() / "link.txt");
  File<std::string>(at("link.txt")).write("new");
  EXPECT_TRUE(fs::is_symlink(m_dir.path() / "link.txt"));
  EXPECT_EQ(m_dir.read("real.txt"), "new");
}

TEST_F(TypedFiles, ReadersSeeTheWholeOldOrTheWholeNewContent) {
  const std::string a(256 * 1024, 'a');
  const std::string b(256 * 1024, 'b');
  File<std::string> file(at("swap.txt"));
  file.write(a);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      const std::string seen = m_dir.read("swap.txt");
      if (seen != a && seen != b) ++torn;
    }
  });
  for (int i = 0; i < 50; ++i) file.write(i % 2 ? a : b);
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

TEST_F(TypedFiles, OptionsOfADataFileWinOverTheAtomicFlag) {
  m_dir.write("existing", "old");
  DataFileWithOptions noOverwrite(
      at("existing"), DataReadingOptions::none,
      DataWritingOptions::atomic | DataWritingOptions::withoutOverwriting);
  EXPECT_THROW(noOverwrite.write(Bytes{1}, false), FileError);
  EXPECT_EQ(m_dir.read("existing"), "old");

  DataFileWithOptions plain(at("fresh"), DataReadingOptions::uncached);
  plain.write(Bytes{'x'});
  EXPECT_EQ(plain.read(), Bytes{'x'});
  DataFile data(at("fresh"));
  EXPECT_THROW(data.write(Bytes{'y'}, DataWritingOptions::withoutOverwriting), FileError);
  data.write(Bytes{'z'}, DataWritingOptions::none);
  EXPECT_EQ(data.read(DataReadingOptions::none), Bytes{'z'});
}

TEST_F(TypedFiles, DescriptionOrderAndFailedMoves) {
  EXPECT_EQ(File<Bytes>(Path("/tmp/a")).description(), "File<Data>('/tmp/a')");
  EXPECT_EQ(File<std::string>(Path("x")).description(), "File<String>('x')");

  m_dir.write("big", "12345");
  m_dir.write("small", "1");
  std::vector<File<Bytes>> files{File<Bytes>(at("big")), File<Bytes>(at("missing")),
                                 File<Bytes>(at("small"))};
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files[0].path().fileName(), "missing");
  EXPECT_EQ(files[1].path().fileName(), "small");
  EXPECT_EQ(files[2].path().fileName(), "big");
  EXPECT_EQ(File<Bytes>(at("big")), File<Bytes>(Path(m_dir.path().string() + "/./big")));

  File<Bytes> moving(at("small"));
  EXPECT_THROW(moving.move(at("big")), FileError);
  EXPECT_EQ(moving.path().rawValue(), at("small").rawValue());
  moving.move(at("renamed"));
  EXPECT_EQ(moving.path().rawValue(), at("renamed").rawValue());
  EXPECT_EQ(moving.name(), "renamed");

  // The platform's create replaces the content.
  File<Bytes> created(at("big"));
  created.create();
  EXPECT_EQ(created.size(), 0u);
  created.deleteFile();
  EXPECT_THROW(created.deleteFile(), FileError);
}

}  // namespace
}  // namespace tessra::files

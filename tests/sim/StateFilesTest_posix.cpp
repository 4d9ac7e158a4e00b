// The state files where symbolic links and mode bits are everyday things: links planted at
// temporary names, links to the file, and the file's mode.
#include <sys/stat.h>

#include <filesystem>

#include "sim/EepromStore.h"
#include "tests/sim/StateFileFixture.h"

namespace vantor::sim::test {
namespace {

namespace fs = std::filesystem;

TEST_F(StateFileSafety, PlantedLinksAtTemporaryNamesAreNotFollowed) {
  const fs::path victim = dir / "victim";
  std::ofstream(victim) << "keep me";
  EepromStore store(Model::Q40);
  std::string error;
  ASSERT_TRUE(store.UseFile(path, error)) << error;
  // Every name the old scheme could pick for this process.
  fs::create_symlink(victim, path + ".tmp." + std::to_string(::getpid()));
  store.Store(0x5D, 0x0E);
  ASSERT_TRUE(store.Save()) << store.SaveError();
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
  EXPECT_EQ(ByteAt(path, 0x5D), 0x0E);
}

TEST_F(StateFileSafety, SaveKeepsTheModeAndALinkStaysALink) {
  const fs::path target = dir / "real.bin";
  fs::create_symlink(target, path);
  EepromStore store(Model::Q40);
  std::string error;
  ASSERT_TRUE(store.UseFile(path, error)) << error;
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  store.Store(0x5D, 0x0E);
  ASSERT_TRUE(store.Save()) << store.SaveError();
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(ByteAt(target, 0x5D), 0x0E);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(StateFileSafety, TheSameFileReachedThroughALinkIsInUse) {
  std::string error;
  EepromStore first(Model::Q40);
  ASSERT_TRUE(first.UseFile(path, error)) << error;
  fs::create_symlink(path, dir / "alias.bin");
  EepromStore second(Model::Q40);
  EXPECT_FALSE(second.UseFile((dir / "alias.bin").string(), error));
  EXPECT_EQ(error,
            (dir / "alias.bin").string() + " is in use by process " + std::to_string(::getpid()));
}

}  // namespace
}  // namespace vantor::sim::test

// The virtual printer's state files on any platform: one user at a time, and no temporary
// files left behind by processes that ended.
#include <filesystem>

#include "sim/EepromStore.h"
#include "tests/sim/StateFileFixture.h"

namespace vantor::sim::test {
namespace {

namespace fs = std::filesystem;

// No system hands out process numbers this high (Linux stops at 2^22).
constexpr long kNoSuchProcess = 999999996;

TEST_F(StateFileSafety, StaleTemporaryFilesOfDeadProcessesAreRemoved) {
  const std::string dead = path + ".tmp." + std::to_string(kNoSuchProcess);
  const std::string live = path + ".tmp." + std::to_string(::getpid()) + ".x1y2z3";
  std::ofstream(dead) << "old";
  std::ofstream(dead + ".a1b2c3") << "old";
  std::ofstream(live) << "busy";
  std::ofstream(path + ".tmp.12x") << "not ours";
  EepromStore store(Model::Q40);
  std::string error;
  ASSERT_TRUE(store.UseFile(path, error)) << error;
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(dead + ".a1b2c3"));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(path + ".tmp.12x"));
}

TEST_F(StateFileSafety, ASecondUserIsRefusedWithTheHoldersName) {
  std::string error;
  {
    EepromStore first(Model::Q40);
    ASSERT_TRUE(first.UseFile(path, error)) << error;
    EepromStore second(Model::Q40);
    EXPECT_FALSE(second.UseFile(path, error));
    EXPECT_EQ(error, path + " is in use by process " + std::to_string(::getpid()));
  }
  EepromStore later(Model::Q40);
  EXPECT_TRUE(later.UseFile(path, error)) << error;
}

TEST_F(StateFileSafety, SavesReplaceTheFileWholeAndKeepEveryByte) {
  EepromStore store(Model::Q40);
  std::string error;
  ASSERT_TRUE(store.UseFile(path, error)) << error;
  // 0A and 1A: a text-mode file would grow a 0D or stop reading there.
  store.Store(0x10, 0x0A);
  store.Store(0x11, 0x1A);
  store.Store(0x12, 0x0D);
  ASSERT_TRUE(store.Save()) << store.SaveError();
  EXPECT_EQ(fs::file_size(path), 256u);
  EXPECT_EQ(ByteAt(path, 0x10), 0x0A);
  EXPECT_EQ(ByteAt(path, 0x11), 0x1A);
  EXPECT_EQ(ByteAt(path, 0x12), 0x0D);
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "eeprom.bin" || name == "eeprom.bin.lock") << name;
  }
}

}  // namespace
}  // namespace vantor::sim::test

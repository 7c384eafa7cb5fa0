#include "control/sys_info.h"

#include "control/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "platform/runtime_error.h"
#include "support/scripted_message_box.h"

namespace tessarel {
namespace {

// A registry of a few values, keyed by "key|value".
class ScriptedRegistry : public Registry {
  public:
    struct Value {
        uint32_t type;
        std::string data;
    };
    std::map<std::string, Value> values;
    std::vector<std::string> opened;
    int open_handles = 0;

    int32_t OpenKey(uint32_t root, const std::string& key, uint32_t options, uint32_t access,
                    Handle* handle) override {
        EXPECT_EQ(root, HKEY_LOCAL_MACHINE_ROOT);
        EXPECT_EQ(options, 0u);
        EXPECT_EQ(access, 0x2003Fu);
        opened.push_back(key);
        for (const auto& [name, value] : values) {
            if (name.rfind(key + "|", 0) == 0) {
                keys_.push_back(key);
                *handle = keys_.size();
                ++open_handles;
                return 0;
            }
        }
        *handle = 0;
        return 2;
    }
    int32_t QueryValue(Handle handle, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
        const auto found = values.find(keys_.at(handle - 1) + "|" + name);
        if (found == values.end()) {
            return 2;
        }
        *type = found->second.type;
        *size = static_cast<uint32_t>(found->second.data.size());
        std::memcpy(data, found->second.data.data(), found->second.data.size());
        return 0;
    }
    void CloseKey(Handle handle) override {
        if (handle) {
            --open_handles;
        }
    }

  private:
    std::vector<std::string> keys_;
};

constexpr char kTool[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kFolder[] = "SOFTWARE\\Microsoft\\Shared Tools Location";

class SysInfoTest : public testing::Test {
  protected:
    void SetUp() override {
        system.start_program = [this](const std::string& path) {
            started.push_back(path);
            if (path.empty() || fail_start) {
                throw RuntimeError(kErrFileNotFound);
            }
        };
        system.normal_file_exists = [this](const std::string& path) {
            checked.push_back(path);
            return path == existing;
        };
    }
    void Run() { StartSysInfo(registry, system, box, "Tessarel"); }
    bool Unavailable() const {
        return box.shown.size() == 1 && box.shown[0].prompt == kSysInfoUnavailable &&
               box.shown[0].style == kStylePlain && box.shown[0].title == "Tessarel";
    }

    ScriptedRegistry registry;
    SysInfoSystem system;
    ScriptedMessageBox box;
    std::vector<std::string> started;
    std::vector<std::string> checked;
    std::string existing;
    bool fail_start = false;
};

TEST_F(SysInfoTest, TheFirstKeysPathIsStartedWithoutLookingForTheFile) {
    registry.values[std::string(kTool) + "|PATH"] = {kRegSz,
                                                     std::string("C:\\Tools\\msinfo.exe\0", 20)};
    Run();
    EXPECT_EQ(started, std::vector<std::string>{"C:\\Tools\\msinfo.exe"});
    EXPECT_TRUE(checked.empty());
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(registry.open_handles, 0);
}

TEST_F(SysInfoTest, AFailedStartShowsTheMessageWithoutTryingTheSecondKey) {
    registry.values[std::string(kTool) + "|PATH"] = {kRegSz, std::string("C:\\gone.exe\0", 12)};
    registry.values[std::string(kFolder) + "|MSINFO"] = {kRegSz, std::string("C:\\Tools\0", 9)};
    fail_start = true;
    box.Answer(kAnswerOk);
    Run();
    EXPECT_TRUE(Unavailable());
    EXPECT_EQ(registry.opened, std::vector<std::string>{kTool});
}

TEST_F(SysInfoTest, TheSecondKeyNamesAFolderThatMustHoldTheTool) {
    registry.values[std::string(kFolder) + "|MSINFO"] = {kRegSz, std::string("C:\\Tools\0", 9)};
    existing = "C:\\Tools\\MSINFO32.EXE";
    Run();
    EXPECT_EQ(started, std::vector<std::string>{"C:\\Tools\\MSINFO32.EXE"});

    existing = "elsewhere";
    started.clear();
    box.Answer(kAnswerOk);
    Run();
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(Unavailable());
}

TEST_F(SysInfoTest, WithNeitherValueOrWithoutARegistryTheMessageIsShown) {
    box.Answer(kAnswerOk);
    Run();
    EXPECT_TRUE(Unavailable());
    EXPECT_TRUE(started.empty());

    ScriptedMessageBox system_box{kAnswerOk};
    StartSysInfo(*SystemRegistry(), system, system_box, "Tessarel");
    ASSERT_EQ(system_box.shown.size(), 1u);
    EXPECT_EQ(system_box.shown[0].prompt, kSysInfoUnavailable);
}

TEST_F(SysInfoTest, AValueOfAnotherTypeLeavesThePathEmptyAndTheStartFails) {
    registry.values[std::string(kTool) + "|PATH"] = {3, "\x01\x02"};
    box.Answer(kAnswerOk);
    Run();
    EXPECT_EQ(started, std::vector<std::string>{""});
    EXPECT_TRUE(Unavailable());
}

TEST_F(SysInfoTest, AValueWithoutDataFailsWithoutTryingTheSecondKey) {
    registry.values[std::string(kTool) + "|PATH"] = {kRegSz, ""};
    registry.values[std::string(kFolder) + "|MSINFO"] = {kRegSz, std::string("C:\\Tools\0", 9)};
    existing = "C:\\Tools\\MSINFO32.EXE";
    box.Answer(kAnswerOk);
    Run();
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(Unavailable());
    EXPECT_EQ(registry.opened, std::vector<std::string>{kTool});
    EXPECT_EQ(registry.open_handles, 0) << "the key is closed on the way out";
}

TEST(GetKeyValue, ANumberBecomesItsHexLiteral) {
    ScriptedRegistry registry;
    registry.values["K|N"] = {kRegDword, std::string("\x05\x01\x00\x00", 4)};
    std::string value;
    EXPECT_TRUE(GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, "K", "N", value));
    EXPECT_EQ(value, "&h000105");  // the top byte, a NUL, is trimmed like a text's end
    EXPECT_EQ(std::stoi(value.substr(2), nullptr, 16), 261);

    value = "left over";
    EXPECT_FALSE(GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, "K", "missing", value));
    EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace tessarel

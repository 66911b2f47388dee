#include <gtest/gtest.h>

#include "core/settings/SettingsStore.h"
#include "support/MemoryRegistry.h"

namespace olvo {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    HiveKey& Section() {
        return *m_registry.Contents().Create("software\\Kestrava\\File Splitter");
    }
    void Put(const std::string& name, std::uint32_t type, const std::string& data) {
        Section().Set(name, {type, data});
    }
    void PutText(const std::string& name, const std::string& text) {
        Put(name, kRegSz, text + std::string(1, '\0'));
    }
    bool ReadBool(bool defaultValue) {
        SettingsStore store(m_registry);
        return store.ReadBool(kSettingsSection, "Flag", defaultValue);
    }
    std::string ReadString() {
        SettingsStore store(m_registry);
        return store.ReadString(kSettingsSection, "Text", "default");
    }
    std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const SettingsError& error) {
            return error.what();
        }
        return "no error";
    }

    MemoryRegistry m_registry;
};

TEST_F(SettingsStoreTest, TextFlagsConvertAsWholeNumbers) {
    const std::vector<std::pair<std::string, bool>> truths = {
        {"1", true},    {"2", true},         {"-1", true},         {"  +7", true},
        {"0", false},   {"-0", false},       {"$1F", true},        {"x0", false},
        {"0x10", true}, {"$FFFFFFFF", true}, {"2147483647", true}, {"-2147483648", true},
    };
    for (const auto& [text, expected] : truths) {
        PutText("Flag", text);
        EXPECT_EQ(ReadBool(!expected), expected) << text;
    }
    // Text that is no number leaves the default, whichever it is.
    for (const std::string text :
         {"yes", "", "1 ", "1x", "0x", "$", "2147483648", "$100000000", "\t1"}) {
        PutText("Flag", text);
        EXPECT_TRUE(ReadBool(true)) << text;
        EXPECT_FALSE(ReadBool(false)) << text;
    }
    Put("Flag", kRegSz, std::string("1\0garbage", 9));
    EXPECT_TRUE(ReadBool(false));
}

TEST_F(SettingsStoreTest, OtherFlagTypesReadAsNumbers) {
    Put("Flag", kRegDword, std::string("\x01\0\0\0", 4));
    EXPECT_TRUE(ReadBool(false));
    Put("Flag", kRegDword, std::string("\0\0\0\0", 4));
    EXPECT_FALSE(ReadBool(true));
    Put("Flag", kRegDword, std::string("\0\x01", 2));
    EXPECT_TRUE(ReadBool(false));
    Put("Flag", kRegDword, std::string(8, '\0'));
    EXPECT_EQ(ErrorOf([&] { ReadBool(false); }), "Failed to get data for 'Flag'");
    Put("Flag", kRegBinary, "\x01\x02\x03\x04\x05");
    EXPECT_EQ(ErrorOf([&] { ReadBool(false); }), "Failed to get data for 'Flag'");
    Put("Flag", kRegBinary, "\x01");
    EXPECT_EQ(ErrorOf([&] { ReadBool(false); }), "Invalid data type for 'Flag'");
    Put("Flag", kRegExpandSz, std::string("1\0", 2));  // only plain strings are converted
    EXPECT_EQ(ErrorOf([&] { ReadBool(false); }), "Invalid data type for 'Flag'");
}

TEST_F(SettingsStoreTest, StringsAreReadUpToTheirFirstZero) {
    EXPECT_EQ(ReadString(), "default");  // no key, no section
    PutText("Text", "C:\\Temp");
    EXPECT_EQ(ReadString(), "C:\\Temp");
    Put("Text", kRegSz, std::string("one\0two", 7));
    EXPECT_EQ(ReadString(), "one");
    Put("Text", kRegSz, "no zero at all");
    EXPECT_EQ(ReadString(), "no zero at all");
    Put("Text", kRegExpandSz, std::string("%HOME%\0", 7));
    EXPECT_EQ(ReadString(), "%HOME%");
    Put("Text", kRegDword, "");  // a length of 0 reads as empty text before its type is checked
    EXPECT_EQ(ReadString(), "");
    Put("Text", kRegDword, std::string("\x01\0\0\0", 4));
    EXPECT_EQ(ErrorOf([&] { ReadString(); }), "Invalid data type for 'Text'");
}

TEST_F(SettingsStoreTest, NamesCompareWithoutRegardToCase) {
    m_registry.Contents()
        .Create("SOFTWARE\\KESTRAVA\\FILE SPLITTER")
        ->Set("split sizes", {kRegSz, "1,2"});
    Settings values;
    LoadConfigValues(m_registry, values);
    EXPECT_EQ(values.SplitSizes, "1,2");
    SaveConfigValues(m_registry, values);
    const HiveKey* key = m_registry.Contents().Find("software\\kestrava\\file splitter");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Path(), "SOFTWARE\\KESTRAVA\\FILE SPLITTER");
    EXPECT_EQ(key->Values().size(), 5u);
    EXPECT_EQ(key->Values()[0].name, "split sizes");
}

TEST_F(SettingsStoreTest, AFailingLoadKeepsWhatItReadAndReleasesTheStore) {
    PutText("Split Sizes", "10,20");
    PutText("Split To Folder", "1");
    Put("Split Folder Name", kRegDword, std::string("\x01\0\0\0", 4));
    PutText("Restore To Folder", "1");
    PutText("Restore Folder Name", "/r");
    Settings settings;
    std::vector<std::string> sizes;
    EXPECT_EQ(ErrorOf([&] { LoadStartupSettings(m_registry, settings, sizes); }),
              "Invalid data type for 'Split Folder Name'");
    EXPECT_EQ(sizes, (std::vector<std::string>{"10", "20"}));
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_FALSE(settings.RestoreToFolder);
    EXPECT_EQ(settings.RestoreFolderName, "");
    EXPECT_FALSE(m_registry.InSession());

    Settings values;
    EXPECT_EQ(ErrorOf([&] { LoadConfigValues(m_registry, values); }),
              "Invalid data type for 'Split Folder Name'");
    EXPECT_FALSE(values.RestoreToFolder);  // read after the failing value: never reached
    EXPECT_FALSE(m_registry.InSession());
}

TEST_F(SettingsStoreTest, ASaveWritesAllFiveInOrderAsStrings) {
    Put("Split To Folder", kRegDword, std::string("\x01\0\0\0", 4));
    Settings values;
    LoadConfigValues(m_registry, values);
    const int sessions = m_registry.Sessions();
    SaveConfigValues(m_registry, values);
    EXPECT_EQ(m_registry.Sessions(), sessions + 1);  // one store for the whole save
    std::vector<std::string> names;
    for (const HiveValue& value : Section().Values()) {
        EXPECT_EQ(value.value.type, kRegSz);
        names.push_back(value.name);
    }
    // "Split To Folder" existed first, the rest follow in the order of the save.
    EXPECT_EQ(names,
              (std::vector<std::string>{"Split To Folder", "Split Folder Name", "Restore To Folder",
                                        "Restore Folder Name", "Split Sizes"}));
    EXPECT_EQ(Section().Find("Split To Folder")->data, std::string("1\0", 2));
    EXPECT_EQ(Section().Find("Restore To Folder")->data, std::string("0\0", 2));
    EXPECT_EQ(Section().Find("Split Sizes")->data, std::string("1420,663552,714752\0", 19));
}

// The recovery count reads as a count within the split limits, and is stored only once set.
TEST_F(SettingsStoreTest, RecoveryPiecesReadAsACountAndAreStoredOnceSet) {
    Settings values;
    SaveConfigValues(m_registry, values);
    EXPECT_EQ(Section().Find("Recovery Pieces"), nullptr);
    const std::vector<std::pair<std::string, std::uint32_t>> counts = {
        {"2", 2}, {" 7", 7}, {"32767", 32767}, {"32768", 0}, {"-1", 0}, {"$10", 0}, {"two", 0},
    };
    for (const auto& [text, expected] : counts) {
        PutText("Recovery Pieces", text);
        LoadConfigValues(m_registry, values);
        EXPECT_EQ(values.RecoveryPieces, expected) << text;
    }
    values.RecoveryPieces = 0;  // once stored, a 0 is stored too
    SaveConfigValues(m_registry, values);
    EXPECT_EQ(Section().Find("Recovery Pieces")->data, std::string("0\0", 2));
}

TEST_F(SettingsStoreTest, RefusedChangesRaiseTheirTexts) {
    m_registry.RefuseChanges(true);
    // Without the key nothing can be created below it, and nothing is put anywhere else.
    Settings settings;
    std::vector<std::string> sizes;
    LoadStartupSettings(m_registry, settings, sizes);
    EXPECT_EQ(sizes.size(), 3u);
    EXPECT_EQ(ErrorOf([&] { SaveConfigValues(m_registry, Settings{}); }),
              "Failed to create key File Splitter");
    EXPECT_EQ(m_registry.Contents(), Hive());

    m_registry.RefuseChanges(false);
    PutText("Split Sizes", "5");
    m_registry.RefuseChanges(true);
    EXPECT_EQ(ErrorOf([&] { SaveConfigValues(m_registry, Settings{}); }),
              "Failed to set data for 'Split To Folder'");
    EXPECT_EQ(Section().Values().size(), 1u);
    EXPECT_FALSE(m_registry.InSession());
}

TEST(SplitSizeEntries, FollowsTheListRules) {
    using List = std::vector<std::string>;
    EXPECT_EQ(SplitSizeEntries(DefaultSplitSizes), (List{"1420", "663552", "714752"}));
    EXPECT_EQ(SplitSizeEntries("1420,,714752"), (List{"1420", "", "714752"}));
    EXPECT_EQ(SplitSizeEntries("1420,"), (List{"1420"}));
    EXPECT_EQ(SplitSizeEntries(",1420"), (List{"", "1420"}));
    EXPECT_EQ(SplitSizeEntries(" 1420 , 663552"), (List{"1420", "663552"}));
    EXPECT_EQ(SplitSizeEntries("14 20"), (List{"14", "20"}));
    EXPECT_EQ(SplitSizeEntries("1420\r\n663552\t"), (List{"1420", "663552"}));
    EXPECT_EQ(SplitSizeEntries("\"1 420\",\"say \"\"hi\"\"\",\"\""),
              (List{"1 420", "say \"hi\"", ""}));
    EXPECT_EQ(SplitSizeEntries("\"open"), (List{"open"}));
    EXPECT_EQ(SplitSizeEntries("\"a\"b"), (List{"a", "b"}));
    EXPECT_EQ(SplitSizeEntries(""), List{});
    EXPECT_EQ(SplitSizeEntries("  "), List{});
    EXPECT_EQ(SplitSizeEntries(","), (List{""}));
    EXPECT_EQ(SplitSizeEntries(std::string("1\0,2", 4)), (List{"1"}));
}

}  // namespace
}  // namespace olvo

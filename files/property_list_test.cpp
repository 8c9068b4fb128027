#include "files/property_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

struct Setting {
  std::string name;
  platform::Date changedAt;
  double level = 0;
  std::vector<std::string> tags;
  std::string blob;  // Base64, as records keep bytes

  bool operator==(const Setting&) const = default;
};

void to_json(nlohmann::json& j, const Setting& s) {
  j = {{"name", s.name},
       {"changedAt", s.changedAt},
       {"level", s.level},
       {"tags", s.tags},
       {"blob", s.blob}};
}

void from_json(const nlohmann::json& j, Setting& s) {
  s.name = platform::requiredField<std::string>(j, "name");
  s.changedAt = platform::requiredField<platform::Date>(j, "changedAt");
  s.level = platform::requiredField<double>(j, "level");
  s.tags = platform::requiredField<std::vector<std::string>>(j, "tags");
  s.blob = platform::requiredField<std::string>(j, "blob");
}

class PropertyLists : public ::testing::Test {
 protected:
  Path at(const std::string& name) const { return Path(m_dir.path().string()) + name; }
  testing::TempDir m_dir;
};

TEST_F(PropertyLists, WritesTheXmlFormat) {
  const nlohmann::json value = {
      {"a", 1}, {"b", {true, false}}, {"c", "x<&>y"}, {"d", 2.5}, {"e", nlohmann::json::object()}};
  EXPECT_EQ(encodePropertyList(value),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<plist version=\"1.0\">\n"
            "<dict>\n"
            "\t<key>a</key>\n"
            "\t<integer>1</integer>\n"
            "\t<key>b</key>\n"
            "\t<array>\n"
            "\t\t<true/>\n"
            "\t\t<false/>\n"
            "\t</array>\n"
            "\t<key>c</key>\n"
            "\t<string>x&lt;&amp;&gt;y</string>\n"
            "\t<key>d</key>\n"
            "\t<real>2.5</real>\n"
            "\t<key>e</key>\n"
            "\t<dict/>\n"
            "</dict>\n"
            "</plist>\n");
  EXPECT_EQ(parsePropertyList(encodePropertyList(value)), value);
}

TEST_F(PropertyLists, RecordsRoundTripThroughFiles) {
  PropertyListFile<Setting> file(at("setting.plist"));
  const Setting setting{
      "tab\tand\x01control", platform::Date::fromReferenceDate(-3.25), 0.5, {"a/b", ""}, "AAEC"};
  file.write(setting);
  EXPECT_EQ(file.read(), setting);
}

TEST_F(PropertyLists, ReadsWhatOtherToolsWrite) {
  m_dir.write("other.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist SYSTEM \"plist.dtd\">\n"
              "<plist version=\"1.0\"><dict>\n"
              "  <!-- a comment -->\n"
              "  <key>name</key><string><![CDATA[<raw>]]> &#x263A;</string>\n"
              "  <key>changedAt</key><date>2001-01-02T00:00:00Z</date>\n"
              "  <key>level</key><integer>3</integer>\n"
              "  <key>tags</key><array/>\n"
              "  <key>blob</key><data>\n  AAEC\n  </data>\n"
              "  <key>ignored</key><real>+infinity</real>\n"
              "</dict></plist>\n");
  const Setting read = PropertyListFile<Setting>(at("other.plist")).read();
  EXPECT_EQ(read.name, "<raw> \xE2\x98\xBA");
  EXPECT_EQ(read.changedAt, platform::Date::fromReferenceDate(86400));
  EXPECT_EQ(read.level, 3);
  EXPECT_EQ(read.blob, "AAEC");
}

TEST_F(PropertyLists, MalformedDocumentsFailWithTheirReason) {
  const char* cases[] = {
      "",
      "<plist><dict><key>a</key></dict></plist>",
      "<plist><dict><string>x</string></dict></plist>",
      "<plist><integer>1.5</integer></plist>",
      "<plist><string>a &bogus; b</string></plist>",
      "<plist><string>unterminated</plist>",
      "<plist><date>yesterday</date></plist>",
      "<plist><data>!!!</data></plist>",
      "<plist><unknown/></plist>",
      "<plist><string>x</string></plist> trailing",
      "<plist><string>\xFF</string></plist>",
  };
  for (const char* xml : cases) {
    EXPECT_THROW(parsePropertyList(xml), PropertyListDecodingError) << xml;
  }
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  EXPECT_THROW(parsePropertyList(deep), PropertyListDecodingError);
  std::string nested = "<plist>";
  for (int i = 0; i < 512; ++i) nested += "<array>";
  for (int i = 0; i < 512; ++i) nested += "</array>";
  EXPECT_NO_THROW(parsePropertyList(nested + "</plist>"));
  m_dir.write("bad.plist", "<plist><array><string>x</string></array></plist>");
  try {
    PropertyListFile<Setting>(at("bad.plist")).read();
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::readFromFileFail);
  }
}

TEST_F(PropertyLists, ValuesWithoutAPropertyListFormFailToWrite) {
  m_dir.write("kept.plist", "old");
  EXPECT_THROW(encodePropertyList(nlohmann::json::array({1, nullptr})), PropertyListEncodingError);
  try {
    PropertyListFile<nlohmann::json>(at("kept.plist")).write(nlohmann::json{{"a", nullptr}});
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::writeToFileFail);
  }
  EXPECT_EQ(m_dir.read("kept.plist"), "old");
  // U+0000 has no XML form; every other control character reads back as written.
  for (const nlohmann::json& value :
       {nlohmann::json{{"a", std::string("x\0y", 3)}}, nlohmann::json{{std::string(1, '\0'), 1}}}) {
    EXPECT_THROW(PropertyListFile<nlohmann::json>(at("kept.plist")).write(value), FileError);
    EXPECT_EQ(m_dir.read("kept.plist"), "old");
  }
  const nlohmann::json controls = std::string("\x01\x1F\t\r\n");
  EXPECT_EQ(parsePropertyList(encodePropertyList(controls)), controls);
  nlohmann::json deep = 1;
  for (int depth = 0; depth <= platform::kMaxJsonNesting; ++depth)
    deep = nlohmann::json::array({std::move(deep)});
  EXPECT_THROW(encodePropertyList(deep), PropertyListEncodingError);
  EXPECT_EQ(parsePropertyList(encodePropertyList(
                nlohmann::json::array({std::numeric_limits<double>::infinity()})))[0],
            std::numeric_limits<double>::infinity());
}

TEST_F(PropertyLists, CollectionsAreFileContents) {
  File<std::vector<std::string>> list(at("list.plist"));
  list.write({"one", "two"});
  EXPECT_EQ(list.read(), (std::vector<std::string>{"one", "two"}));
  File<std::map<std::string, int>> table(at("table.plist"));
  table.write({{"a", 1}, {"b", 2}});
  EXPECT_EQ(table.read(), (std::map<std::string, int>{{"a", 1}, {"b", 2}}));

  const auto reasonOf = [](const auto& file) {
    try {
      file.read();
    } catch (const FileError& e) {
      return describe(e.error());
    }
    return std::string("read");
  };
  EXPECT_EQ(reasonOf(File<std::vector<std::string>>(at("table.plist"))), "conversion(Array)");
  EXPECT_EQ(reasonOf(File<std::vector<int>>(at("list.plist"))), "conversion(Array<Int>)");
  EXPECT_EQ(reasonOf(File<std::map<std::string, bool>>(at("table.plist"))),
            "conversion(Dictionary<String, Bool>)");
  m_dir.write("junk.plist", "not xml");
  EXPECT_EQ(reasonOf(File<std::map<std::string, int>>(at("junk.plist"))), "conversion(Dictionary)");
}

}  // namespace
}  // namespace tessra::files

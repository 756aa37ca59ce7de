// The document file: every version gate read back, the current layout
// written and read byte for byte, refused files, safe saves, item numbering
// and the items' names.
#include <sys/resource.h>

#include <csignal>
#include <fstream>

#include <gtest/gtest.h>

#include "app/core/app_strings.h"
#include "app/core/doc_version.h"
#include "app/core/file_io.h"
#include "app/core/tests/doc_test_support.h"

namespace qd40::app {
namespace {

using testing::buildDocument;
using testing::ItemSpec;

class DocFileTest : public ::testing::Test {
protected:
    void SetUp() override { folder = testing::testFolder("doc"); }
    void TearDown() override { std::filesystem::remove_all(folder); }
    CTavikDoc::ControlFactory factory() { return testing::controlFactory({}, folder / "reg"); }
    std::filesystem::path write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto p = folder / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }
    std::vector<uint8_t> fileBytes(const std::filesystem::path& p) {
        MappedFile file;
        EXPECT_TRUE(file.open(p).isOk());
        return std::vector<uint8_t>(file.bytes().begin(), file.bytes().end());
    }
    std::filesystem::path folder;
};

TEST_F(DocFileTest, EveryVersionGateReadsBack) {
    const std::vector<ItemSpec> items = {{false, "10.0.0.5", 502, 1, 7, "OLDNAME"},
                                         {true, "", 2, 4, 3, ""}};
    struct Case {
        const char* header;
        std::vector<uint32_t> numbers;  // as read
        uint32_t last;
        size_t blocks;
        std::string firstMnemonic;
    };
    const Case cases[] = {
        {"OVIX,TAVIK,0,Z.00", {1, 2}, 2, 0, ""},
        {"OVIX,APPLICATION TAVIK,0,Z.11", {1, 2}, 2, 0, "OLDNAME"},
        {"OVIX,TAVIK,0,A.00", {1, 2}, 2, 2, ""},
        {"OVIX,TAVIK,0,A.03", {7, 3}, 9, 2, ""},
        {"OVIX,QD40,0,Z.21", {7, 3}, 9, 2, ""},
        {"ovix,tavik,0,b.10", {7, 3}, 9, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        const std::string v(versionOfHeader(c.header));
        const int blocks = (v == "Z.11" || v == "Z.00") ? 0 : 2;
        CTavikDoc doc(factory());
        ASSERT_TRUE(doc.read(buildDocument(c.header, items, 9, blocks), "x.dqx").isOk());
        ASSERT_EQ(doc.items().size(), 2u);
        EXPECT_EQ(doc.items()[0]->number, c.numbers[0]);
        EXPECT_EQ(doc.items()[1]->number, c.numbers[1]);
        EXPECT_EQ(doc.lastItemNumber(), c.last);
        EXPECT_EQ(doc.items()[0]->connection().ipAddr, "10.0.0.5");
        EXPECT_EQ(doc.items()[1]->connection().mbAddr, 4);
        EXPECT_EQ(doc.items()[0]->mnemonic(), c.firstMnemonic);
        ASSERT_EQ(doc.blocks().size(), c.blocks);
        if (c.blocks) {
            EXPECT_EQ(doc.blocks()[1]->name, "Block 2");
            EXPECT_EQ(doc.blocks()[1]->records.size(), 3u);
        }
        EXPECT_FALSE(doc.isModified());
    }
}

TEST_F(DocFileTest, WrittenFileReadsBackByteForByte) {
    CTavikDoc doc(factory());
    ASSERT_TRUE(
        doc.read(buildDocument("OVIX,TAVIK,0,A.03",
                               {{false, "h", 502, 1, 2, ""}, {true, "lab", 1, 5, 1, ""}}, 2, 3),
                 "x")
            .isOk());
    doc.items()[0]->setMnemonic("Boiler room");
    const std::vector<uint8_t> first = doc.write();
    CTavikDoc again(factory());
    ASSERT_TRUE(again.read(first, "x").isOk());
    EXPECT_EQ(again.header(), CTavikDoc::currentHeader());
    EXPECT_EQ(again.items()[0]->mnemonic(), "Boiler room");
    EXPECT_EQ(again.write(), first);
    const std::string head(first.begin(), first.begin() + 18);
    EXPECT_EQ(head, "OVIX,TAVIK,0,B.10\n");
}

TEST_F(DocFileTest, UnreadableFilesAreRefusedAndChangeNothing) {
    const std::vector<uint8_t> good =
        buildDocument("OVIX,TAVIK,0,B.10", {{false, "h", 502, 1, 1, ""}}, 1, 1);
    std::vector<uint8_t> truncated(good.begin(), good.end() - 10);
    std::vector<uint8_t> corrupted = good;
    corrupted[good.size() / 2] ^= 0xFF;
    corrupted[25] = 0x7F;  // the item count
    const std::string foreignText = "%PDF-1.4\nnot a document";
    const std::vector<uint8_t> foreign(foreignText.begin(), foreignText.end());
    const std::vector<uint8_t> noLine(300, 'A');

    for (const auto& bytes : {truncated, corrupted, foreign, noLine}) {
        const auto path = write("bad.dqx", bytes);
        CTavikDoc doc(factory());
        doc.newItem();
        const Status st = doc.load(path);
        ASSERT_FALSE(st.isOk());
        EXPECT_EQ(st.error.description, "Unable to read the file \"" + path.string() +
                                            "\".\nThe application can't read its data.");
        EXPECT_EQ(doc.items().size(), 1u) << "the document is unchanged";
        EXPECT_TRUE(doc.path().empty());
        EXPECT_EQ(fileBytes(path), bytes) << "nothing changed on disk";
    }
}

TEST_F(DocFileTest, SaveReplacesTheFileOrLeavesItAsItWas) {
    CTavikDoc doc(factory());
    doc.newItem();
    const auto path = folder / "plant.dqx";
    ASSERT_TRUE(doc.save(path).isOk());
    EXPECT_FALSE(doc.isModified());
    const std::vector<uint8_t> saved = fileBytes(path);

    // A save that cannot be written whole (the disk fills up) fails and leaves
    // the old file and no temporary file.
    for (int i = 0; i < 20; ++i)
        doc.blocks().push_back(std::make_unique<records::CExplBloc>());
    doc.blocks()[0]->records.resize(100000);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Status st = doc.save(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    ASSERT_FALSE(st.isOk());
    EXPECT_NE(st.error.description.find("Unable to save the document"), std::string::npos);
    EXPECT_EQ(fileBytes(path), saved);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().rfind(".plant.dqx", 0), std::string::npos)
            << "temporary file left: " << entry.path();

    // A missing folder is reported.
    EXPECT_FALSE(doc.save(folder / "missing" / "x.dqx").isOk());
}

TEST_F(DocFileTest, SaveFollowsLinksKeepsPermissionsAndRefusesDevices) {
    CTavikDoc doc(factory());
    const auto target = folder / "target.dqx";
    ASSERT_TRUE(doc.save(target).isOk());
    std::filesystem::permissions(target, std::filesystem::perms(0640));
    const auto link = folder / "link.dqx";
    std::filesystem::create_symlink(target, link);
    doc.newItem();
    ASSERT_TRUE(doc.save(link).isOk());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileBytes(target), doc.write());
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
    const Status st = doc.save("/dev/null");
    EXPECT_FALSE(st.isOk());
    EXPECT_NE(st.error.description.find("not a regular file"), std::string::npos);
}

TEST_F(DocFileTest, NumberingTakesTheSmallestFreeNumber) {
    CTavikDoc doc(factory());
    ASSERT_TRUE(doc.read(buildDocument("OVIX,TAVIK,0,B.10",
                                       {{false, "a", 502, 1, 1, ""},
                                        {false, "b", 502, 1, 2, ""},
                                        {false, "c", 502, 1, 4, ""}},
                                       4, 0),
                         "x")
                    .isOk());
    CTavikItem& added = doc.newItem();
    doc.numberItem(added);
    EXPECT_EQ(added.number, 3u);
    EXPECT_EQ(doc.lastItemNumber(), 4u);
    CTavikItem& next = doc.newItem();
    doc.numberItem(next);
    EXPECT_EQ(next.number, 5u);
    EXPECT_EQ(doc.lastItemNumber(), 5u);
    EXPECT_EQ(doc.findItemByNumber(4), doc.items()[2].get());
    EXPECT_EQ(doc.findItemByNumber(9), nullptr);
}

TEST_F(DocFileTest, ItemNamesAndProgramIdentification) {
    CTavikDoc doc(factory());
    struct Case {
        ItemSpec spec;
        const char* shortName;
        const char* longName;
    };
    const Case cases[] = {
        {{true, "lab", 2, 3, 0, ""}, "QD40#3", "lab:COM 2:QD40#3"},
        {{true, "", 2, 3, 0, ""}, "QD40#3", "COM 2:QD40#3"},
        {{false, "10.1.1.9", 502, 7, 0, ""}, "QD40@10.1.1.9#7", "Ethernet:QD40@10.1.1.9#7"},
    };
    for (const Case& c : cases) {
        CTavikItem& item = doc.newItem();
        item.control().put_Serial(c.spec.serial);
        item.control().put_IpAddr(c.spec.address);
        item.control().put_Port(c.spec.port);
        item.control().put_MbAddr(static_cast<int16_t>(c.spec.slave));
        EXPECT_EQ(item.shortDisplayName(), c.shortName);
        EXPECT_EQ(item.longDisplayName(), c.longName);
        EXPECT_EQ(item.treeText(), c.shortName);
    }
    CTavikItem& named = *doc.items()[0];
    named.setMnemonic("A twenty char name!!");
    EXPECT_EQ(named.mnemonic(), "A twenty char na");
    EXPECT_EQ(named.treeText(), "QD40#3: \"A twenty char na\"");
    EXPECT_EQ(named.longDisplayName(), "A twenty char na");

    EXPECT_EQ(doc.programIdentification(), (ProgramIdentification{"TAVIK-1", 0}));
    doc.setUntitledName("a-very-long-document-title");
    EXPECT_EQ(doc.programIdentification().name, "A-VERY-LONG-DOCU");
    ASSERT_TRUE(doc.save(folder / "plant.north.dqx").isOk());
    const ProgramIdentification id = doc.programIdentification();
    EXPECT_EQ(id.name, "PLANT");
    EXPECT_EQ(id.time, fileTimeSince2000(folder / "plant.north.dqx"));
    EXPECT_GT(id.time, 0u);
}

}  // namespace
}  // namespace qd40::app

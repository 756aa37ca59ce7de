// The program window's tree: grouping by host, port and network, the order
// of the roots and the keys that survive a rebuild.
#include <gtest/gtest.h>

#include "app/core/views/program_tree.h"
#include "views_test_support.h"

namespace qd40::app::views {
namespace {

using testing::addModule;
using testing::Module;

// The tree as text: one line per node, indented by depth, with its kind.
void dump(const std::vector<ProgramNode>& nodes, int depth, std::string& out) {
    for (const ProgramNode& n : nodes) {
        out += std::string(size_t(depth) * 2, ' ') + std::to_string(n.kind) + " " + n.text + "\n";
        dump(n.children, depth + 1, out);
    }
}

std::string dump(const CTavikDoc& doc) {
    std::string out;
    dump(buildProgramTree(doc), 0, out);
    return out;
}

TEST(ProgramTree, EmptyDocumentHasTheWorkstationAndNewModule) {
    CTavikDoc doc(testing::offlineControls());
    EXPECT_EQ(dump(doc), "101 Workstation\n201 New Module\n");
}

TEST(ProgramTree, ModulesGroupUnderTheirHostPortOrNetworkInDocumentOrder) {
    CTavikDoc doc(testing::offlineControls());
    addModule(doc, {true, "lab", 1, 3});       // remote host lab, COM 1
    addModule(doc, {false, "10.0.0.5", 502});  // Ethernet root at its first use
    addModule(doc, {true, "", 2, 4});          // this machine, COM 2
    addModule(doc, {true, "lab", 1, 5});       // shares lab's host and port nodes
    addModule(doc, {true, "", 9, 6});          // port 9: no node
    addModule(doc, {true, "", 0, 7});          // port 0: no node
    addModule(doc, {false, "10.0.0.6", 1502, 2});
    EXPECT_EQ(dump(doc),
              "101 Workstation\n"
              "  102 COM 2\n"
              "    400 QD40#4\n"
              "101 lab\n"
              "  102 COM 1\n"
              "    400 QD40#3\n"
              "    400 QD40#5\n"
              "103 Ethernet\n"
              "  400 QD40@10.0.0.5#1\n"
              "  400 QD40@10.0.0.6#2\n"
              "201 New Module\n");
    EXPECT_EQ(doc.items().size(), 7u);
}

TEST(ProgramTree, ModuleNodesCarryTheirItemAndTreeText) {
    CTavikDoc doc(testing::offlineControls());
    CTavikItem& first = addModule(doc, {true, "", 1, 1});
    CTavikItem& second = addModule(doc, {true, "", 1, 2});
    second.setMnemonic("OVEN");
    const auto tree = buildProgramTree(doc);
    const ProgramNode* node =
        findNode(tree, [&](const ProgramNode& n) { return n.item == &second; });
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->kind, kModuleNode);
    EXPECT_EQ(node->text, "QD40#2: \"OVEN\"");
    EXPECT_NE(findNode(tree, [&](const ProgramNode& n) { return n.item == &first; }), nullptr);
}

TEST(ProgramTree, KeysIdentifyNodesAcrossRebuildsAndDifferBetweenNodes) {
    CTavikDoc doc(testing::offlineControls());
    addModule(doc, {true, "lab", 1, 3});
    addModule(doc, {true, "", 1, 4});
    addModule(doc, {false, "10.0.0.5", 502});
    std::vector<std::string> keys;
    const auto collect = [&](const std::vector<ProgramNode>& roots) {
        std::vector<std::string> out;
        findNode(roots, [&](const ProgramNode& n) {
            out.push_back(n.key());
            return false;
        });
        return out;
    };
    keys = collect(buildProgramTree(doc));
    EXPECT_EQ(collect(buildProgramTree(doc)), keys);
    std::vector<std::string> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "keys must differ";
}

}  // namespace
}  // namespace qd40::app::views

// The program window's tree: the document's modules grouped by where they
// are connected. Roots in order: "Workstation" (this machine), then, at their
// first use in document order, the "Ethernet" node of the network modules and
// one node per remote host; "New Module" comes last. A serial module hangs
// under the "COM n" node of its host; a serial port outside 1..8 gives the
// module no node at all.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/core/tavik_doc.h"

namespace qd40::app::views {

// The kind each node carries; a module node also carries its item.
enum NodeKind : uint32_t {
    kHostNode = 101,
    kPortNode = 102,
    kEthernetNode = 103,
    kNewModuleNode = 201,
    kModuleNode = 400,
};

struct ProgramNode {
    NodeKind kind = kHostNode;
    std::string text;
    CTavikItem* item = nullptr;  // module nodes only; owned by the document
    std::string host;            // host and port nodes: the remote host, "" for this machine
    int port = 0;                // port nodes
    std::vector<ProgramNode> children;

    // What identifies the node from one build of the tree to the next, so a
    // view can keep its selection and expanded nodes.
    std::string key() const;
};

std::vector<ProgramNode> buildProgramTree(const CTavikDoc& doc);

// The first node, depth first, for which pred holds; null when none does.
const ProgramNode* findNode(const std::vector<ProgramNode>& roots,
                            const std::function<bool(const ProgramNode&)>& pred);

}  // namespace qd40::app::views

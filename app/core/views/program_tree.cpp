#include "app/core/views/program_tree.h"

#include <algorithm>

#include "app/core/app_strings.h"

namespace qd40::app::views {

namespace {
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 8;

ProgramNode makeNode(NodeKind kind, std::string text) {
    ProgramNode n;
    n.kind = kind;
    n.text = std::move(text);
    return n;
}

// The node of nodes matching pred, created by make at its first use.
template <class Pred, class Make>
ProgramNode& findOrAdd(std::vector<ProgramNode>& nodes, Pred pred, Make make) {
    auto it = std::find_if(nodes.begin(), nodes.end(), pred);
    if (it != nodes.end())
        return *it;
    nodes.push_back(make());
    return nodes.back();
}
}  // namespace

std::string ProgramNode::key() const {
    switch (kind) {
        case kHostNode:
            return "host:" + host;
        case kPortNode:
            return "port:" + host + ":" + std::to_string(port);
        case kEthernetNode:
            return "ethernet";
        case kNewModuleNode:
            return "new";
        case kModuleNode:
            return "module:" + std::to_string(reinterpret_cast<uintptr_t>(item));
    }
    return {};
}

std::vector<ProgramNode> buildProgramTree(const CTavikDoc& doc) {
    std::vector<ProgramNode> roots;
    roots.push_back(makeNode(kHostNode, appText(text::kWorkstation)));

    for (const auto& owned : doc.items()) {
        CTavikItem* item = owned.get();
        const ctl::CtlConnection& c = item->connection();
        ProgramNode module = makeNode(kModuleNode, item->treeText());
        module.item = item;
        if (!c.serial) {
            ProgramNode& ethernet = findOrAdd(
                roots, [](const ProgramNode& n) { return n.kind == kEthernetNode; },
                [] { return makeNode(kEthernetNode, appText(text::kEthernet)); });
            ethernet.children.push_back(std::move(module));
            continue;
        }
        if (c.port < kFirstComPort || c.port > kLastComPort)
            continue;
        ProgramNode& host = findOrAdd(
            roots, [&](const ProgramNode& n) { return n.kind == kHostNode && n.host == c.ipAddr; },
            [&] {
                ProgramNode n = makeNode(kHostNode, c.ipAddr);
                n.host = c.ipAddr;
                return n;
            });
        ProgramNode& port = findOrAdd(
            host.children,
            [&](const ProgramNode& n) { return n.kind == kPortNode && n.port == c.port; },
            [&] {
                ProgramNode n =
                    makeNode(kPortNode, strings::formatText(appText(text::kComPort), int(c.port)));
                n.host = c.ipAddr;
                n.port = c.port;
                return n;
            });
        port.children.push_back(std::move(module));
    }

    roots.push_back(makeNode(kNewModuleNode, appText(text::kNewModule)));
    return roots;
}

const ProgramNode* findNode(const std::vector<ProgramNode>& roots,
                            const std::function<bool(const ProgramNode&)>& pred) {
    for (const ProgramNode& n : roots) {
        if (pred(n))
            return &n;
        if (const ProgramNode* found = findNode(n.children, pred))
            return found;
    }
    return nullptr;
}

}  // namespace qd40::app::views

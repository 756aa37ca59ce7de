// An OPC UA client for the end-to-end tests, built on node-opcua's client
// alone: it browses everything below the Objects folder, reads every
// variable twice, writes 0.5 to the tags whose name ends with "Relay 1",
// then stays connected until a line arrives on its standard input.
//
//   node opc_client.js SIDECAR_FOLDER ENDPOINT PKI_FOLDER [browse]
//
// Prints one JSON object a line: {"event":"browsed"...}, {"event":"read"...},
// {"event":"written"...}, {"event":"connected"}; with "browse" it stops after
// browsing and reading once.
"use strict";

const path = require("path");
const readline = require("readline");
const [sidecar, endpoint, pki, only] = process.argv.slice(2);
const {
    OPCUAClient,
    OPCUACertificateManager,
    MessageSecurityMode,
    SecurityPolicy,
    AttributeIds,
    BrowseDirection,
    NodeClassMask,
    DataType,
    resolveNodeId,
} = require(path.join(sidecar, "node_modules", "node-opcua"));

function say(object) {
    process.stdout.write(JSON.stringify(object) + "\n");
}

async function browseAll(session, nodeId, prefix, found) {
    const result = await session.browse({
        nodeId,
        browseDirection: BrowseDirection.Forward,
        referenceTypeId: "HierarchicalReferences",
        includeSubtypes: true,
        nodeClassMask: NodeClassMask.Object | NodeClassMask.Variable,
        resultMask: 0x3f,
    });
    for (const ref of result.references || []) {
        const name = ref.browseName.name;
        if (ref.nodeId.namespace === 0) continue;  // the server's own objects
        const full = prefix ? prefix + "." + name : name;
        if (ref.nodeClass === 2 /* Variable */) {
            if (name !== "EngineeringUnits") found.push({ name: full, nodeId: ref.nodeId.toString() });
        } else {
            await browseAll(session, ref.nodeId, full, found);
        }
    }
}

async function readAll(session, tags) {
    const values = await session.read(tags.map((t) => ({ nodeId: t.nodeId, attributeId: AttributeIds.Value })));
    const result = [];
    for (let i = 0; i < tags.length; ++i) {
        const unit = await engineeringUnit(session, tags[i].nodeId);
        result.push({
            name: tags[i].name,
            value: values[i].value.value,
            status: values[i].statusCode.name,
            source: values[i].sourceTimestamp ? values[i].sourceTimestamp.getTime() : null,
            unit,
        });
    }
    return result;
}

// The display name of the variable's EngineeringUnits property, or null.
async function engineeringUnit(session, nodeId) {
    const r = await session.browse({
        nodeId,
        browseDirection: BrowseDirection.Forward,
        referenceTypeId: "HasProperty",
        includeSubtypes: true,
        nodeClassMask: NodeClassMask.Variable,
        resultMask: 0x3f,
    });
    const ref = (r.references || []).find((x) => x.browseName.name === "EngineeringUnits");
    if (!ref) return null;
    const v = await session.read({ nodeId: ref.nodeId, attributeId: AttributeIds.Value });
    return v.value.value && v.value.value.displayName ? v.value.value.displayName.text : null;
}

async function main() {
    const clientCertificateManager = new OPCUACertificateManager({ rootFolder: pki, automaticallyAcceptUnknownCertificate: true });
    const client = OPCUAClient.create({
        applicationName: "Qd40TestClient",
        clientCertificateManager,
        securityMode: MessageSecurityMode.None,
        securityPolicy: SecurityPolicy.None,
        endpointMustExist: false,
        connectionStrategy: { maxRetry: 3, initialDelay: 200, maxDelay: 1000 },
    });
    await client.connect(endpoint);
    const session = await client.createSession();
    const tags = [];
    await browseAll(session, resolveNodeId("ObjectsFolder"), "", tags);
    say({ event: "browsed", tags: tags.map((t) => t.name) });
    if (only === "browse") say({ event: "read", tags: await readAll(session, tags) });
    if (only !== "browse") {
        say({ event: "read", tags: await readAll(session, tags) });
        await new Promise((r) => setTimeout(r, 2500));
        say({ event: "read", tags: await readAll(session, tags) });
        for (const t of tags.filter((t) => t.name.endsWith("Relay 1"))) {
            const status = await session.write({
                nodeId: t.nodeId,
                attributeId: AttributeIds.Value,
                value: { value: { dataType: DataType.Float, value: 0.5 } },
            });
            say({ event: "written", name: t.name, status: status.name });
        }
        say({ event: "connected" });
        await new Promise((resolve) => readline.createInterface({ input: process.stdin }).once("line", resolve));
    }
    // The server may have closed the session meanwhile.
    try { await session.close(); } catch (e) { say({ event: "closed", reason: String(e.message || e) }); }
    await client.disconnect();
}

main().then(() => process.exit(0), (e) => {
    process.stderr.write(`opc_client: ${e.stack || e}\n`);
    process.exit(1);
});

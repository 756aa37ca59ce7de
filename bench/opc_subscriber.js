// A node-opcua client for opc_bench: subscribes to one variable and prints
// each new value on a line as it is notified.
//
//   node opc_subscriber.js SIDECAR_FOLDER ENDPOINT PKI_FOLDER NODE_ID
"use strict";

const path = require("path");
const [sidecar, endpoint, pki, nodeId] = process.argv.slice(2);
const {
    OPCUAClient,
    OPCUACertificateManager,
    MessageSecurityMode,
    SecurityPolicy,
    AttributeIds,
    TimestampsToReturn,
    ClientMonitoredItem,
} = require(path.join(sidecar, "node_modules", "node-opcua"));

async function main() {
    const client = OPCUAClient.create({
        clientCertificateManager: new OPCUACertificateManager({ rootFolder: pki }),
        securityMode: MessageSecurityMode.None,
        securityPolicy: SecurityPolicy.None,
        endpointMustExist: false,
    });
    await client.connect(endpoint);
    const session = await client.createSession();
    const subscription = await session.createSubscription2({
        requestedPublishingInterval: 0,
        requestedMaxKeepAliveCount: 100,
        requestedLifetimeCount: 1000,
        publishingEnabled: true,
        priority: 1,
    });
    const item = await ClientMonitoredItem.create(
        subscription,
        { nodeId, attributeId: AttributeIds.Value },
        { samplingInterval: 0, discardOldest: true, queueSize: 10 },
        TimestampsToReturn.Both,
    );
    item.on("changed", (dataValue) => process.stdout.write(`${dataValue.value.value}\n`));
    process.stdout.write(`ready ${subscription.publishingInterval}\n`);
    process.stdin.on("end", () => process.exit(0));
    process.stdin.resume();
}

main().catch((e) => {
    process.stderr.write(`opc_subscriber: ${e.stack || e}\n`);
    process.exit(1);
});

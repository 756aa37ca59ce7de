// An OPC UA client for the user-name test: opens one session for each
// credential given, over an unsecured channel, and says for each whether the
// server accepted it.
//
//   node opc_login.js SIDECAR_FOLDER ENDPOINT PKI_FOLDER [USER:PASSWORD | -]...
//
// "-" asks for an anonymous session. Prints one JSON object a line:
// {"event":"login","user":...,"ok":true|false,"status":...}, then
// {"event":"done"}.
"use strict";

const path = require("path");
const [sidecar, endpoint, pki, ...credentials] = process.argv.slice(2);
const {
    OPCUAClient,
    OPCUACertificateManager,
    MessageSecurityMode,
    SecurityPolicy,
    UserTokenType,
} = require(path.join(sidecar, "node_modules", "node-opcua"));

function say(object) {
    process.stdout.write(JSON.stringify(object) + "\n");
}

async function tryOne(client, credential) {
    const colon = credential.indexOf(":");
    const identity = credential === "-"
        ? { type: UserTokenType.Anonymous }
        : { type: UserTokenType.UserName, userName: credential.slice(0, colon),
            password: credential.slice(colon + 1) };
    try {
        const session = await client.createSession(identity);
        await session.close();
        say({ event: "login", user: credential, ok: true, status: "Good" });
    } catch (e) {
        say({ event: "login", user: credential, ok: false, status: String(e.message) });
    }
}

async function main() {
    const client = OPCUAClient.create({
        endpointMustExist: false,
        securityMode: MessageSecurityMode.None,
        securityPolicy: SecurityPolicy.None,
        connectionStrategy: { maxRetry: 2, initialDelay: 100, maxDelay: 500 },
        clientCertificateManager: new OPCUACertificateManager({
            rootFolder: pki,
            automaticallyAcceptUnknownCertificate: true,
        }),
    });
    await client.connect(endpoint);
    for (const credential of credentials) await tryOne(client, credential);
    await client.disconnect();
    say({ event: "done" });
}

main().then(() => process.exit(0), (e) => {
    say({ event: "error", text: String(e && e.message || e) });
    process.exit(1);
});

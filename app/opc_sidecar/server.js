#!/usr/bin/env node
// tavik's OPC UA publication: an OPC UA server (node-opcua) whose tags tavik
// creates, updates and removes over a Unix socket, one line per message.
//
//   node server.js --socket PATH [--port 4840] [--host 127.0.0.1]
//                  [--pki FOLDER] [--anonymous 1] [--users 0]
//
// The server starts first; then this process connects to the socket tavik
// listens on and says "* ready ENDPOINT". Messages (tokens separated by one
// blank; texts percent-encoded; a value is f<number>, b0/b1 or s<text>):
//
//   tavik -> here                                  here -> tavik
//   SEQ vendor TEXT                                SEQ ok
//   SEQ create HANDLE NAME VALUE QUALITY WRITABLE  SEQ ok | SEQ err TEXT
//   SEQ prop HANDLE ID DESCRIPTION VALUE           SEQ ok | SEQ err TEXT
//   SEQ update HANDLE VALUE QUALITY [FILETIME]     (SEQ ok | SEQ err TEXT)
//   SEQ remove HANDLE                              SEQ ok | SEQ err TEXT
//   SEQ clients                                    SEQ ok COUNT
//   SEQ disconnect                                 SEQ ok
//   SEQ quit                                       SEQ ok, then the process ends
//   0 auth ID 0|1                                  (answer to "* auth")
//                                                  * ready ENDPOINT
//                                                  * write HANDLE VALUE
//                                                  * auth ID USER PASSWORD
//                                                  * error TEXT
// A request numbered 0 wants no answer; its failure comes as "* error".
// When the socket closes, the server stops and the process ends.
"use strict";

const net = require("net");
const path = require("path");
const {
    OPCUAServer,
    OPCUACertificateManager,
    Variant,
    DataType,
    DataValue,
    StatusCodes,
    SecurityPolicy,
    MessageSecurityMode,
    makeEUInformation,
} = require("node-opcua");

function fail(text) {
    process.stderr.write(`opc sidecar: ${text}\n`);
    process.exit(1);
}

function parseArguments(argv) {
    const o = { port: 4840, host: "127.0.0.1", anonymous: true, users: false };
    for (let i = 0; i < argv.length; ++i) {
        const next = () => {
            if (i + 1 >= argv.length) fail(`${argv[i]} needs a value`);
            return argv[++i];
        };
        switch (argv[i]) {
            case "--socket": o.socket = next(); break;
            case "--port": o.port = Number(next()); break;
            case "--host": o.host = next(); break;
            case "--pki": o.pki = next(); break;
            case "--anonymous": o.anonymous = next() !== "0"; break;
            case "--users": o.users = next() !== "0"; break;
            default: fail(`unknown argument ${argv[i]}`);
        }
    }
    if (!o.socket) fail("--socket PATH is missing");
    if (!Number.isInteger(o.port) || o.port < 0 || o.port > 65535) fail("bad --port");
    if (!o.pki) o.pki = path.join(path.dirname(o.socket), "opc-pki");
    return o;
}

// ---- codec ------------------------------------------------------------------------

function encodeText(text) {
    const bytes = Buffer.from(text, "utf8");
    let out = "";
    for (const b of bytes) {
        if (b <= 0x20 || b === 0x25 || b === 0x7f) out += "%" + b.toString(16).toUpperCase().padStart(2, "0");
        else out += String.fromCharCode(b);
    }
    return out === "" ? "%" : out;  // "%" alone stands for the empty text
}

function decodeText(token) {
    if (token === "%") return "";
    const bytes = [];
    for (let i = 0; i < token.length; ++i) {
        if (token[i] === "%") {
            const hex = token.substr(i + 1, 2);
            if (!/^[0-9A-Fa-f]{2}$/.test(hex)) throw new Error(`bad escape in ${token}`);
            bytes.push(parseInt(hex, 16));
            i += 2;
        } else {
            bytes.push(token.charCodeAt(i) & 0xff);
        }
    }
    return Buffer.from(bytes).toString("utf8");
}

function decodeValue(token) {
    const kind = token[0];
    const rest = token.slice(1);
    if (kind === "f") {
        const v = Number(rest);
        if (rest === "" || Number.isNaN(v) && rest !== "nan") throw new Error(`bad number ${token}`);
        return new Variant({ dataType: DataType.Float, value: v });
    }
    if (kind === "b") return new Variant({ dataType: DataType.Boolean, value: rest === "1" });
    if (kind === "s") return new Variant({ dataType: DataType.String, value: decodeText(rest) });
    throw new Error(`bad value ${token}`);
}

function encodeValue(variant) {
    const v = variant.value;
    if (typeof v === "boolean") return v ? "b1" : "b0";
    if (typeof v === "number") return "f" + String(v);
    if (typeof v === "string") return "s" + encodeText(v);
    return "s" + encodeText(String(v));
}

// OPC DA qualities as OPC UA status codes.
function statusOf(quality) {
    if (quality === 0x18) return StatusCodes.BadCommunicationError;
    if ((quality & 0xc0) === 0xc0) return StatusCodes.Good;
    if ((quality & 0xc0) === 0x40) return StatusCodes.UncertainLastUsableValue;
    return StatusCodes.Bad;
}

// Windows file time (100 ns since 1601-01-01) as a date.
function dateOfFileTime(text) {
    const ft = BigInt(text);
    return new Date(Number(ft / 10000n - 11644473600000n));
}

// ---- the server --------------------------------------------------------------------

async function main() {
    const o = parseArguments(process.argv.slice(2));
    const serverCertificateManager = new OPCUACertificateManager({
        rootFolder: path.join(o.pki, "server"),
        automaticallyAcceptUnknownCertificate: false,
    });
    const userCertificateManager = new OPCUACertificateManager({
        rootFolder: path.join(o.pki, "users"),
        automaticallyAcceptUnknownCertificate: false,
    });

    let link = null;
    const send = (line) => { if (link) link.write(line + "\n"); };

    // User names and passwords are checked by tavik against its users.
    const pendingAuth = new Map();
    let nextAuth = 1;
    const userManager = {
        isValidUserAsync: (user, password, callback) => {
            if (!o.users || !link) return callback(null, false);
            const id = nextAuth++;
            pendingAuth.set(id, callback);
            send(`* auth ${id} ${encodeText(user)} ${encodeText(password)}`);
            setTimeout(() => {
                const cb = pendingAuth.get(id);
                if (cb) { pendingAuth.delete(id); cb(null, false); }
            }, 5000);
        },
    };

    const server = new OPCUAServer({
        port: o.port,
        host: o.host,
        hostname: o.host === "0.0.0.0" ? undefined : o.host,
        allowAnonymous: o.anonymous,
        serverCertificateManager,
        userCertificateManager,
        userManager,
        securityModes: [MessageSecurityMode.None, MessageSecurityMode.Sign, MessageSecurityMode.SignAndEncrypt],
        securityPolicies: [SecurityPolicy.None, SecurityPolicy.Basic256Sha256],
        buildInfo: { productName: "Tavik OPC Server", manufacturerName: "OVIX" },
    });
    await server.initialize();
    const addressSpace = server.engine.addressSpace;
    const namespace = addressSpace.getOwnNamespace();
    const objects = addressSpace.rootFolder.objects;

    // handle -> { variable, writable, dataValue }
    const tags = new Map();
    // dotted folder path -> folder node
    const folders = new Map();
    // full name -> handle
    const names = new Map();

    function folderFor(parts) {
        let parent = objects;
        let key = "";
        for (const part of parts) {
            key = key ? key + "." + part : part;
            let folder = folders.get(key);
            if (!folder) {
                if (names.has(key)) throw new Error(`"${key}" is already a tag`);
                folder = namespace.addFolder(parent, { browseName: part, nodeId: `s=${key}` });
                folders.set(key, folder);
            }
            parent = folder;
        }
        return parent;
    }

    function create(handle, name, variant, quality, writable) {
        if (tags.has(handle)) throw new Error(`tag handle ${handle} exists`);
        if (names.has(name) || folders.has(name)) throw new Error(`"${name}" exists`);
        const parts = name.split(".");
        if (parts.some((p) => p === "")) throw new Error(`"${name}" has an empty part`);
        const leaf = parts.pop();
        const parent = folderFor(parts);
        const tag = {
            writable,
            dataValue: new DataValue({
                value: variant,
                statusCode: statusOf(quality),
                sourceTimestamp: new Date(),
                serverTimestamp: new Date(),
            }),
        };
        const options = {
            componentOf: parent,
            browseName: leaf,
            nodeId: `s=${name}`,
            dataType: variant.dataType === DataType.Float ? "Float"
                : variant.dataType === DataType.Boolean ? "Boolean" : "String",
            // Read-only tags change by setValueFromSource, which notifies
            // their monitored items at once; relay tags are read through a
            // getter, sampled.
            minimumSamplingInterval: writable ? 100 : 0,
        };
        if (writable) {
            options.accessLevel = "CurrentRead | CurrentWrite";
            options.userAccessLevel = "CurrentRead | CurrentWrite";
            options.value = {
                timestamped_get: () => tag.dataValue,
                timestamped_set: function (dataValue, callback) {
                    tag.dataValue = new DataValue({
                        value: dataValue.value,
                        statusCode: StatusCodes.Good,
                        sourceTimestamp: new Date(),
                        serverTimestamp: new Date(),
                    });
                    send(`* write ${handle} ${encodeValue(dataValue.value)}`);
                    callback(null, StatusCodes.Good);
                },
            };
        } else {
            options.accessLevel = "CurrentRead";
            options.userAccessLevel = "CurrentRead";
        }
        tag.variable = namespace.addVariable(options);
        if (!writable) tag.variable.setValueFromSource(variant, statusOf(quality), new Date());
        tags.set(handle, tag);
        names.set(name, handle);
    }

    function tagOf(handleText) {
        const tag = tags.get(Number(handleText));
        if (!tag) throw new Error(`no tag ${handleText}`);
        return tag;
    }

    function update(tag, variant, quality, when) {
        const status = statusOf(quality);
        if (tag.writable) {
            tag.dataValue = new DataValue({
                value: variant, statusCode: status, sourceTimestamp: when, serverTimestamp: new Date(),
            });
            tag.variable.touchValue();
        } else {
            tag.variable.setValueFromSource(variant, status, when);
        }
    }

    function setProperty(tag, id, description, variant) {
        if (id === 100) {
            const unit = String(variant.value);
            const eu = makeEUInformation(unit, unit, unit);
            const existing = tag.variable.getPropertyByName("EngineeringUnits");
            const value = { dataType: DataType.ExtensionObject, value: eu };
            if (existing) existing.setValueFromSource(value);
            else namespace.addVariable({ propertyOf: tag.variable, browseName: "EngineeringUnits", dataType: "EUInformation", value });
            return;
        }
        const browseName = description.replace(/[^A-Za-z0-9_]/g, "") || `Property${id}`;
        const existing = tag.variable.getPropertyByName(browseName);
        if (existing) existing.setValueFromSource(variant);
        else namespace.addVariable({ propertyOf: tag.variable, browseName, dataType: variant.dataType, value: variant });
    }

    function removeTag(handle) {
        const tag = tags.get(handle);
        if (!tag) throw new Error(`no tag ${handle}`);
        addressSpace.deleteNode(tag.variable);
        tags.delete(handle);
        for (const [name, h] of names) if (h === handle) names.delete(name);
    }

    async function disconnectClients() {
        const sessions = Object.values(server.engine._sessions || {});
        for (const session of sessions) {
            try { await server.engine.closeSession(session.authenticationToken, true, "Terminated"); } catch (e) { /* gone */ }
        }
    }

    async function handle(line) {
        const t = line.split(" ");
        const seq = t[0];
        const verb = t[1];
        const answer = (text) => { if (seq !== "0") send(`${seq} ${text}`); };
        try {
            switch (verb) {
                case "vendor": answer("ok"); break;
                case "create":
                    create(Number(t[2]), decodeText(t[3]), decodeValue(t[4]), Number(t[5]), t[6] === "1");
                    answer("ok");
                    break;
                case "prop":
                    setProperty(tagOf(t[2]), Number(t[3]), decodeText(t[4]), decodeValue(t[5]));
                    answer("ok");
                    break;
                case "update":
                    update(tagOf(t[2]), decodeValue(t[3]), Number(t[4]), t[5] ? dateOfFileTime(t[5]) : new Date());
                    answer("ok");
                    break;
                case "remove": removeTag(Number(t[2])); answer("ok"); break;
                case "clients": answer(`ok ${server.currentSessionCount}`); break;
                case "disconnect": await disconnectClients(); answer("ok"); break;
                case "auth": {
                    const cb = pendingAuth.get(Number(t[2]));
                    if (cb) { pendingAuth.delete(Number(t[2])); cb(null, t[3] === "1"); }
                    break;
                }
                case "quit":
                    answer("ok");
                    await stop(0);
                    break;
                default: throw new Error(`unknown request "${verb}"`);
            }
        } catch (e) {
            const text = encodeText(String(e.message || e));
            if (seq === "0") send(`* error ${text}`);
            else send(`${seq} err ${text}`);
        }
    }

    let stopping = false;
    async function stop(code) {
        if (stopping) return;
        stopping = true;
        try { await server.shutdown(0); } catch (e) { /* leaving anyway */ }
        if (link) link.end();
        process.exit(code);
    }

    await server.start();
    const endpoint = server.getEndpointUrl();

    // Requests are handled one after another, in their order.
    let queue = Promise.resolve();
    link = net.createConnection(o.socket);
    link.setEncoding("utf8");
    link.on("connect", () => send(`* ready ${encodeText(endpoint)}`));
    let pending = "";
    link.on("data", (chunk) => {
        pending += chunk;
        let nl;
        while ((nl = pending.indexOf("\n")) >= 0) {
            const line = pending.slice(0, nl);
            pending = pending.slice(nl + 1);
            if (line.length) queue = queue.then(() => handle(line));
        }
    });
    link.on("error", (e) => { process.stderr.write(`opc sidecar: ${e.message}\n`); stop(1); });
    link.on("close", () => stop(0));
    process.on("SIGTERM", () => stop(0));
    process.on("SIGINT", () => stop(0));
}

main().catch((e) => fail(e.stack || String(e)));

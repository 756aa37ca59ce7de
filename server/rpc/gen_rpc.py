#!/usr/bin/env python3
"""Generates every copy of the Qd40 interface from one method table, so they
always agree on names, order and types: the RPC schema, its server adapter and
client proxy, the member declarations of the server's Qd40 object and of the
proxy, and the control's link (its abstract members and the adapter that
forwards them).

python3 gen_rpc.py          rewrites the generated files
python3 gen_rpc.py --check  rewrites nothing; lists the generated files that
                            differ from the table's output and exits with 1
--root DIR                  the repository's root (default: two folders up)
"""
import os
import sys

# Argument kinds: ("in", type) or ("out", type); types: text i16 u16 i32 u32 u8
# f64 var (a VARIANT). "varp" is an input VARIANT passed by pointer (a missing
# one is refused), "var" by reference.
CAPNP = {"text": "Text", "i16": "Int16", "u16": "UInt16", "i32": "Int32", "u32": "UInt32",
         "u8": "UInt8", "f64": "Float64", "var": "Variant", "varp": "Variant"}
CPP = {"text": "std::string", "i16": "int16_t", "u16": "uint16_t", "i32": "int32_t",
       "u32": "uint32_t", "u8": "uint8_t", "f64": "double", "var": "Variant", "varp": "Variant"}

def m(name, *args):
    return (name, [tuple(a.split(":")) for a in args])

PROPS = [("AvailableCom", "i32"), ("BaudRateCom", "u32"), ("HalfDuplexCom", "i32")]
PROPS2 = [("HalfDuplexPauseCom", "u16"), ("EofCharQtyCom", "u8")]

def props(table):
    out = []
    for name, t in table:
        for n in range(1, 9):
            out.append(("get" + name + str(n), [("out", t, "pVal")], ("Get" + name + "X", n)))
            out.append(("put" + name + str(n), [("in", t, "newVal")], ("Put" + name + "X", n)))
    return out

DEFAULTS = {}

def plain(name, *args):
    parsed = []
    for a in args:
        d, t, n = a.split(":")
        if "=" in n:
            n, default = n.split("=")
            DEFAULTS[n] = default
        parsed.append((d, t, n))
    return (name[0].lower() + name[1:], parsed, (name, None))

IUSER = [plain("Version", "out:text:pVal")] + props(PROPS) + [
    plain("GetAvailableComX", "in:i32:nPort", "out:i32:pVal"),
    plain("PutAvailableComX", "in:i32:nPort", "in:i32:newVal"),
    plain("GetBaudRateComX", "in:i32:nPort", "out:u32:pVal"),
    plain("PutBaudRateComX", "in:i32:nPort", "in:u32:newVal"),
    plain("GetHalfDuplexComX", "in:i32:nPort", "out:i32:pVal"),
    plain("PutHalfDuplexComX", "in:i32:nPort", "in:i32:newVal"),
    plain("OpenComm", "in:text:sIpAddr", "in:i32:nPort", "out:i32:pnErrCode"),
    plain("CloseComm", "out:i32:pnErrCode"),
    plain("CommIsOpen", "out:i32:pbIsOpen"),
    plain("CommIsHalfDuplex", "out:i32:pbIsHalfDuplex"),
    plain("GetDevId", "in:u8:byDevAddr", "out:u16:pwDevId"),
    plain("ReadInputStatus", "in:i16:nDevAddr", "in:i32:lStartReg", "in:i16:nQty", "out:var:pvCoilValues", "out:i32:plRetVal"),
    plain("ReadOutputStatus", "in:i16:nDevAddr", "in:i32:lStartReg", "in:i16:nQty", "out:var:pvCoilValues", "out:i32:plRetVal"),
    plain("ForceSingleCoil", "in:i16:nDevAddr", "in:i32:lReg", "in:i16:vCoilValue", "out:i32:plRetVal"),
    plain("ForceMultipleCoils", "in:i16:nDevAddr", "in:i32:lStartReg", "in:i16:nQty", "in:var:vCoilValues", "out:i32:plRetVal"),
    plain("ReadInputRegisters", "in:i16:nDevAddr", "in:i32:lStartReg", "in:i16:nQty", "out:var:pvRegValues", "in:u16:vVarType=2", "in:i16:vRealType=-1", "out:i32:plRetVal"),
    plain("ReadOutputRegisters", "in:i16:nDevAddr", "in:i32:lStartReg", "in:i16:nQty", "out:var:pvRegValues", "in:u16:vVarType=2", "in:i16:vRealType=-1", "out:i32:plRetVal"),
    plain("PresetSingleRegister", "in:i16:nDevAddr", "in:i32:lReg", "in:i32:vRegValue", "in:i16:vRealType=-1", "out:i32:plRetVal"),
    plain("PresetMultipleRegisters", "in:i16:nDevAddr", "in:i32:lStartReg", "in:i16:nQty", "in:var:vRegValues", "in:i16:vRealType=-1", "out:i32:plRetVal"),
    plain("Remote", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("Local", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("Run", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("Stop", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("Trig", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("MemRun", "in:u8:byDevAddr", "in:u8:byMemNum", "out:i32:pnErrCode"),
    plain("MemStop", "in:u8:byDevAddr", "in:u8:byMemNum", "out:i32:pnErrCode"),
    plain("MemTrig", "in:u8:byDevAddr", "in:u8:byMemNum", "out:i32:pnErrCode"),
    plain("MemStore", "in:u8:byDevAddr", "in:u8:byMemNum", "out:i32:pnErrCode"),
    plain("MemClear", "in:u8:byDevAddr", "in:u8:byMemNum", "out:i32:pnErrCode"),
    plain("SetRel", "in:u8:byDevAddr", "in:u16:wRelNum", "in:i32:bOn", "out:i32:pnErrCode"),
    plain("GetRel", "in:u8:byDevAddr", "in:u16:wRelNum", "out:i32:pbOn"),
    plain("GetBinVersion", "out:u32:pdwVersionMS", "out:u32:pdwVersionLS"),
    plain("GetDevVersion", "in:u8:byDevAddr", "out:text:pVal"),
    plain("RunWithOptMem", "in:u8:byDevAddr", "in:u8:byOption", "out:i32:pnErrCode"),
    plain("GetDevFileVersion", "in:u8:byDevAddr", "out:text:pVal"),
    plain("SetLongFormatDefault", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("SetSetupDefault", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("ReInitEmailAlerter", "in:u8:byDevAddr", "out:i32:pnErrCode"),
    plain("GetDate", "in:u8:byDevAddr", "out:f64:pdtDate"),
    plain("SetDate", "in:u8:byDevAddr", "in:f64:dtDate", "out:i32:pnErrCode"),
    plain("ReadSetupName", "in:u8:byDevAddr", "out:text:pVal"),
    plain("MemRemove", "in:u8:byDevAddr", "in:u8:byMemNum", "in:u32:dwQty", "out:i32:pnErrCode"),
] + props(PROPS2) + [
    plain("GetHalfDuplexPauseComX", "in:i32:nPort", "out:u16:pVal"),
    plain("PutHalfDuplexPauseComX", "in:i32:nPort", "in:u16:newVal"),
    plain("GetEofCharQtyComX", "in:i32:nPort", "out:u8:pVal"),
    plain("PutEofCharQtyComX", "in:i32:nPort", "in:u8:newVal"),
]

E = "out:i32:pnErrCode"
IOVIX = [
    plain("GetFullCfg", "in:u8:byDevAddr", "out:var:pvFullCfg", E),
    plain("SetFullCfg", "in:u8:byDevAddr", "in:varp:pvFullCfg", E),
    plain("GetChansRes", "in:u8:byDevAddr", "out:var:pvChansRes", E),
    plain("SetChansRes", "in:u8:byDevAddr", "in:varp:pvChansRes", E),
    plain("GetGlobalCfg", "in:u8:byDevAddr", "out:u16:pwGlobalCfg", E),
    plain("SetGlobalCfg", "in:u8:byDevAddr", "in:u16:wGlobalCfg", E),
    plain("GetAcqCfg", "in:u8:byDevAddr", "out:var:pvAcqCfg", E),
    plain("SetAcqCfg", "in:u8:byDevAddr", "in:varp:pvAcqCfg", E),
    plain("GetChanCfg", "in:u8:byDevAddr", "in:u16:wChanNum", "out:var:pvChanCfg", E),
    plain("SetChanCfg", "in:u8:byDevAddr", "in:u16:wChanNum", "in:varp:pvChanCfg", E),
    plain("GetChanRes", "in:u8:byDevAddr", "in:u16:wChanNum", "out:u16:pwChanRes", E),
    plain("SetChanRes", "in:u8:byDevAddr", "in:u16:wChanNum", "in:u16:wChanRes", E),
    plain("GetMemCfg", "in:u8:byDevAddr", "in:u8:byMemNum", "out:var:pvMemCfg", E),
    plain("SetMemCfg", "in:u8:byDevAddr", "in:u8:byMemNum", "in:varp:pvMemCfg", E),
    plain("GetStatus", "in:u8:byDevAddr", "out:u16:pwGlobalStatus", E),
    plain("GetCyStatus", "in:u8:byDevAddr", "out:var:pvCyStat", E),
    plain("GetChansDelays", "in:u8:byDevAddr", "out:var:pvChansDelays", E),
    plain("GetMemsStatus", "in:u8:byDevAddr", "out:var:pvMemsStatus", E),
    plain("GetMemsStatusMask", "in:u8:byDevAddr", "out:var:pvMemsStatusMask", E),
    plain("SetMemsStatusMask", "in:u8:byDevAddr", "in:varp:pvMemsStatusMask", E),
    plain("GetMemRecCount", "in:u8:byDevAddr", "in:u8:byMemNum", "out:u32:pdwRecCount", E),
    plain("GetMemRecords", "in:u8:byDevAddr", "in:u8:byMemNum", "in:u32:dwFirst", "in:u32:dwQty", "in:i32:bClear", "out:u32:pdwQtyRead", "out:var:pvRecords", E),
    plain("ReadRegs", "in:u8:byDevAddr", "in:u32:dwFirstReg", "in:i16:nQty", "in:i32:bOutputRegs", "out:var:pvRegValues", E),
    plain("SendRegs", "in:u8:byDevAddr", "in:u32:dwFirstReg", "in:i16:nQty", "in:var:vRegValues", E),
    plain("SendCmd", "in:u8:byDevAddr", "in:varp:pvQd40Cmd", "in:i32:bWithAnswer", "out:var:pvAnswer", E),
    plain("GetEvtCount", "in:u8:byDevAddr", "out:u16:pwEvtCount", E),
    plain("GetEvts", "in:u8:byDevAddr", "in:u16:wQty", "out:u16:pwQtyRead", "out:var:pvEvts", E),
    plain("ClrEvts", "in:u8:byDevAddr", E),
    plain("GetEmailCfg", "in:u8:byDevAddr", "out:var:pvEmailCfg", E),
    plain("SetEmailCfg", "in:u8:byDevAddr", "in:varp:pvEmailCfg", E),
    plain("GetSentEmailCount", "in:u8:byDevAddr", "out:u16:pwSentEmailCount", E),
    plain("SetSentEmailCount", "in:u8:byDevAddr", "in:u16:wSentEmailCount", E),
]

# The members the configuration control uses through its link.
LINK = {
    "Version", "GetBinVersion", "PutAvailableComX", "PutBaudRateComX", "PutHalfDuplexComX",
    "PutHalfDuplexPauseComX", "PutEofCharQtyComX", "OpenComm", "CloseComm", "GetDevId",
    "Remote", "Local", "Run", "Stop", "Trig", "MemRun", "MemStop", "MemTrig", "MemStore",
    "MemClear", "SetRel", "GetRel", "GetDevVersion", "RunWithOptMem", "GetDevFileVersion",
    "SetLongFormatDefault", "SetSetupDefault", "ReInitEmailAlerter", "GetDate", "SetDate",
    "ReadSetupName", "MemRemove", "GetFullCfg", "SetFullCfg", "GetChansRes", "SetChansRes",
    "GetStatus", "GetCyStatus", "GetChansDelays", "GetMemsStatus", "GetMemsStatusMask",
    "SetMemsStatusMask", "GetMemRecCount", "GetMemRecords", "ReadRegs", "SendRegs", "SendCmd",
    "GetEvtCount", "GetEvts", "ClrEvts", "GetEmailCfg", "SetEmailCfg", "GetSentEmailCount",
    "SetSentEmailCount",
}

# Notes written above a member's declaration.
NOTES = {
    "ReadInputRegisters": [
        "vVarType: VT_I2 (the default), VT_UI2, VT_I4 or VT_UI4 give one value per",
        "register; VT_R4 one float per two registers in the vRealType word order",
        "(mbREAL_NORMAL: low word first). vRealType -1 stands for \"missing\".",
    ],
    "SendCmd": [
        "pvAnswer (may be null) receives the answer block (command code, length",
        "L, then L words) as bytes when bWithAnswer is set; pvQd40Cmd is unchanged.",
    ],
}

def cap(s):
    return s[0].upper() + s[1:]

HEADER = "# Generated by gen_rpc.py from its method table; edit the table, not this file.\n"
CPP_HEADER = "// Generated by gen_rpc.py from its method table; edit the table, not this file.\n"

def schema():
    out = [HEADER, "@0xcc94cdcbd791b853;\n",
           '$import "/capnp/c++.capnp".namespace("qd40::rpc::schema");\n',
           "# The Qd40 class over Cap'n Proto RPC: the factory, the IUser and IOvix\n"
           "# interfaces with every member in its order and argument names, and the\n"
           "# error record that travels with a failed call.\n",
           "struct ErrorRecord {\n  description @0 :Text;\n  source @1 :Text;\n  interfaceId @2 :Text;\n}\n",
           "# An automation value: its VARTYPE and, for an array, its elements as\n"
           "# little-endian bytes.\n"
           "struct Variant {\n  vt @0 :UInt16;\n  data @1 :Data;\n}\n",
           "interface IUserEvents {}\n"]
    for iface, table in (("IUser", IUSER), ("IOvix", IOVIX)):
        out.append("interface %s {\n" % iface)
        for i, (mname, args, _) in enumerate(table):
            ins = [a for a in args if a[0] == "in"]
            outs = [a for a in args if a[0] == "out"]
            p = ", ".join("%s :%s%s" % (n, CAPNP[t], (" = " + DEFAULTS[n]) if n in DEFAULTS else "")
                          for _, t, n in ins)
            r = ", ".join(["hr :Int32", "error :ErrorRecord"] + ["%s :%s" % (n, CAPNP[t]) for _, t, n in outs])
            out.append("  %s @%d (%s) -> (%s);\n" % (mname, i, p, r))
        out.append("}\n")
    out.append("interface Qd40 extends(IUser, IOvix) {}\n")
    out.append("interface Qd40Factory {\n"
               "  createInstance @0 () -> (hr :Int32, error :ErrorRecord, object :Qd40);\n"
               "  lockServer @1 (fLock :Bool) -> (hr :Int32, error :ErrorRecord);\n}\n")
    return "".join(out)

def server_inc():
    # Each call copies its inputs out of the request, runs on the object's
    # thread (call()) and writes its results back on the event loop.
    out = [CPP_HEADER]
    for table in (IUSER, IOVIX):
        for mname, args, target in table:
            core, index = target
            ctx = cap(mname) + "Context"
            out.append("kj::Promise<void> %s(%s context) override {\n" % (mname, ctx))
            ins = [a for a in args if a[0] == "in"]
            outs = [a for a in args if a[0] == "out"]
            if ins:
                out.append("    auto p = context.getParams();\n")
            if outs:
                out.append("    struct Out {\n")
                for d, t, n in outs:
                    out.append("        %s %s{};\n" % (CPP[t], n))
                out.append("    };\n    auto o = std::make_shared<Out>();\n")
            captures = ["o"] if outs else []
            call_args = [] if index is None else [str(index)]
            for d, t, n in args:
                if d == "in":
                    if t == "text":
                        captures.append("%s = std::string(p.get%s().cStr())" % (n, cap(n)))
                    elif t == "var":
                        captures.append("%s = fromWire(p.get%s())" % (n, cap(n)))
                    elif t == "varp":
                        captures.append("has%s = p.has%s()" % (cap(n), cap(n)))
                        captures.append("%s = p.has%s() ? fromWire(p.get%s()) : Variant{}" % (n, cap(n), cap(n)))
                    else:
                        captures.append("%s = p.get%s()" % (n, cap(n)))
                    call_args.append("has%s ? &%s : nullptr" % (cap(n), n) if t == "varp" else n)
                else:
                    call_args.append("&o->" + n)
            out.append("    return call([%s](server::Qd40& q) {\n" % ", ".join(captures))
            out.append("               return q.%s(%s);\n" % (core, ", ".join(call_args)))
            out.append("           })\n")
            out.append("        .then([context%s](const Done& d) mutable {\n" % (", o" if outs else ""))
            out.append("            auto r = context.getResults();\n            finish(r, d);\n")
            for d, t, n in outs:
                if t == "var":
                    out.append("            toWire(o->%s, r.init%s());\n" % (n, cap(n)))
                else:
                    out.append("            r.set%s(o->%s);\n" % (cap(n), n))
            out.append("        });\n}\n")
    return "".join(out)

def cpp_params(args):
    params = []
    for d, t, n in args:
        if d == "in":
            if t == "text":
                params.append("const std::string& " + n)
            elif t == "var":
                params.append("const Variant& " + n)
            elif t == "varp":
                params.append("const Variant* " + n)
            else:
                params.append("%s %s" % (CPP[t], n))
        else:
            params.append("%s* %s" % (CPP[t], n))
    return params

def members(only=None):
    """(interface title, core name, args) of each member with its own C++
    method: the numbered properties are reached through the indexed methods."""
    for title, table in (("IUser", IUSER), ("IOvix", IOVIX)):
        for mname, args, target in table:
            core, index = target
            if index is None and (only is None or core in only):
                yield title, core, args

def declarations(only, form):
    out = [CPP_HEADER]
    title_seen = None
    for title, core, args in members(only):
        if title != title_seen:
            out.append("// ---- %s\n" % title)
            title_seen = title
        for line in NOTES.get(core, []):
            out.append("// %s\n" % line)
        out.append(form(core, args))
    return "".join(out)

def plain_decl():
    # The members of the server's Qd40 object and of the client proxy.
    return declarations(None, lambda core, args: "HRESULT %s(%s);\n" % (core, ", ".join(cpp_params(args))))

def link_decl():
    return declarations(LINK, lambda core, args: "virtual HRESULT %s(%s) = 0;\n" % (core, ", ".join(cpp_params(args))))

def link_forward():
    return declarations(LINK, lambda core, args: "HRESULT %s(%s) override {\n    return impl_->%s(%s);\n}\n" % (
        core, ", ".join(cpp_params(args)), core, ", ".join(n for _, _, n in args)))

def client_impl():
    out = [CPP_HEADER]
    for table in (IUSER, IOVIX):
        for mname, args, target in table:
            core, index = target
            if index is not None:
                continue
            out.append("HRESULT Qd40Client::%s(%s) {\n" % (core, ", ".join(cpp_params(args))))
            out.append("    auto req = impl_->object.%sRequest();\n" % mname)
            for d, t, n in args:
                if d != "in":
                    continue
                if t == "var":
                    out.append("    toWire(%s, req.init%s());\n" % (n, cap(n)))
                elif t == "varp":
                    out.append("    if (%s) toWire(*%s, req.init%s());\n" % (n, n, cap(n)))
                else:
                    out.append("    req.set%s(%s);\n" % (cap(n), n))
            outs = [a for a in args if a[0] == "out"]
            lam = "[&](auto& r) {" if outs else "[](auto&) {"
            for d, t, n in outs:
                if t == "var":
                    lam += " if (%s) *%s = fromWire(r.get%s());" % (n, n, cap(n))
                elif t == "text":
                    lam += " if (%s) *%s = std::string(r.get%s().cStr());" % (n, n, cap(n))
                else:
                    lam += " if (%s) *%s = r.get%s();" % (n, n, cap(n))
            lam += " }"
            out.append("    return call(*impl_, req, %s);\n}\n" % lam)
    return "".join(out)

# Generated files, from the repository's root.
OUTPUTS = {
    "server/rpc/qd40.capnp": schema,
    "server/rpc/qd40_methods_server.inc": server_inc,
    "server/rpc/qd40_methods_client.inc": client_impl,
    "server/qd40_methods.inc": plain_decl,
    "server/rpc/qd40_methods_client.h.inc": plain_decl,
    "control/ctl/qd40_link_methods.inc": link_decl,
    "control/ctl/qd40_link_forward.inc": link_forward,
}

def main(argv):
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    args = argv[1:]
    check = False
    while args:
        if args[0] == "--check":
            check = True
            args = args[1:]
        elif args[0] == "--root" and len(args) > 1:
            root = args[1]
            args = args[2:]
        else:
            sys.stderr.write("usage: gen_rpc.py [--check] [--root DIR]\n")
            return 2
    differ = []
    for rel, make in OUTPUTS.items():
        path = os.path.join(root, rel)
        text = make()
        if check:
            try:
                with open(path, encoding="utf-8") as f:
                    current = f.read()
            except OSError:
                current = None
            if current != text:
                differ.append(rel)
        else:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
    for rel in differ:
        sys.stderr.write("%s differs from gen_rpc.py's table: run server/rpc/gen_rpc.py\n" % rel)
    return 1 if differ else 0

if __name__ == "__main__":
    sys.exit(main(sys.argv))

// A scripted TWAIN Source Manager with one fake source behind it, for the tests of the
// session layer. It keeps the TWAIN state of the session, answers a triplet sent out of
// order with TWRC_FAILURE / TWCC_SEQERROR, logs every triplet, and counts the DIB handles it
// hands out so that a test can see any never freed.
//
// The test drives it through three exported functions, found with dlsym:
//   FakeDsm_Run(script)      reads a new script and starts a new log (the session state
//                            and live handles carry on); answers 0, or the number of the
//                            first line it does not understand
//   FakeDsm_Report(what)     "log" (one triplet a line), "live" (handles not yet freed),
//                            "faults" (double or locked frees), "handles" (in transfer
//                            order), "opened" (the source last opened), "openedid" (its
//                            Id), "parent" (the window
//                            of MSG_OPENDSM), "hparent" (of MSG_ENABLEDS), "origin" (the
//                            program's version and data groups, and its product name),
//                            "app2" (1 when the program's identity carried DF_APP2),
//                            "entryfrees" (handles freed through DAT_ENTRYPOINT's functions),
//                            "stalled"
//   FakeDsm_OnEvent(hook, c) calls hook(c) at every MSG_PROCESSEVENT
//
// Script lines (';' also ends a line):
//   manager 2                                      a TWAIN 2 manager: it marks the program's
//                                                  identity DF_DSM2, hands out its entry point,
//                                                  and passes the source's messages on through
//                                                  the program's callback, from a thread of its
//                                                  own, once one is registered (until then
//                                                  they wait for MSG_PROCESSEVENT)
//   select choose <A|B> | select cancel | select failure
//   select refuse                                  no selection box: TWCC_BADPROTOCOL
//   select nosource                                no source installed: TWCC_NODS
//   sources none                                   MSG_GETFIRST finds no source
//   sources twins                                  A and B share the product name "Fake
//                                                  Source"; a name then finds A
//   default <A|B>                                  the manager's default source
//   open failure
//   enable failure | enable checkstatus
//   event <n> xferready | event <n> closedsreq     at the n-th MSG_PROCESSEVENT after the
//                                                  previous event
//   xfer done <width> <height> <bits> [*count] | xfer cancel | xfer failure | xfer corrupt
//   xfer tiff <width> <height> <rgb|grey|bw|palette> [mm]   a TIFF in memory, Intel byte
//                                                  order unless "mm"
//   xfer png                                       a PNG file's first bytes
//   xfer bytes <hex | ->                           a block of exactly these bytes ("-": none)
//   pending <count> <count> ...                    answers of successive MSG_ENDXFER
//                                                  (default: the transfers left)
//   fail <endxfer|reset|disableds|closeds|closedsm|callback2> [times]
//   reuse                                          the next block freed is kept and handed out
//                                                  again, at the same address, for the next
//                                                  transfer it can hold
// Built with FAKE_DSM_PLAIN it exports no DSM_Mem* functions: its handles are plain calloc
// blocks that the program frees with free().
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FakeDibPattern.h"
#include "FakeTiffPattern.h"
#include "twain/TwainTypes.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_DSM_PLAIN
FAKE_EXPORT TW_HANDLE DSM_MemAllocate(TW_UINT32 size);
FAKE_EXPORT void DSM_MemFree(TW_HANDLE handle);
FAKE_EXPORT TW_MEMREF DSM_MemLock(TW_HANDLE handle);
FAKE_EXPORT void DSM_MemUnlock(TW_HANDLE handle);
#endif

namespace {
enum class TransferKind { Done, Cancel, Failure, Corrupt, Tiff, Png, Bytes };
struct TTransfer {
    TransferKind Kind;
    int Width = 0, Height = 0, Bits = 0;
    TFakeTiffKind Layout = TFakeTiffKind::Rgb;
    bool BigEndian = false;
    std::vector<std::uint8_t> Bytes = {};
};
struct TEvent {
    int After;
    TW_UINT16 Message;
};

struct TFake {
    // Script.
    std::string SelectOutcome = "cancel";
    std::string SelectChoice = "A";
    bool OpenFails = false;
    TW_UINT16 EnableAnswer = TWRC_SUCCESS;
    std::deque<TEvent> Events;
    std::deque<TTransfer> Transfers;
    std::deque<int> Pending;
    std::map<std::string, int> Failures;
    bool Manager2 = false;
    bool NoSources = false;
    bool Twins = false;
    // Session.
    int State = 2;  // loaded
    std::string DefaultSource = "A";
    int Listed = 0;  // sources MSG_GETFIRST and MSG_GETNEXT have answered
    DSMENTRYPROC Callback = nullptr;
    bool App2 = false;
    int EntryPointFrees = 0;  // handles freed through the functions of DAT_ENTRYPOINT
    std::string OpenedSource;
    TW_UINT32 OpenedId = 0;
    TW_UINT16 Condition = TWCC_SUCCESS;
    int IdleEvents = 0;
    bool Stalled = false;
    std::uintptr_t Parent = 0, HParent = 0;
    std::string Origin;
    // Handles: lock depth of each live one.
    std::map<void*, int> Live;
    std::vector<void*> Handed;
    int Faults = 0;
    bool Reuse = false;
    void* Spare = nullptr;  // a freed block kept for reuse
    std::vector<std::string> Log;
    void (*Hook)(void*) = nullptr;
    void* HookContext = nullptr;
};

// Built once, never destroyed, so that the program's last frees at exit still find it.
TFake& Fake = *new TFake;
std::string Report;

// At the end of the process: the handles the program never freed.
struct TExitReport {
    ~TExitReport() {
        if (!Fake.Live.empty()) std::fprintf(stderr, "fake TWAIN manager: %zu handles never freed\n", Fake.Live.size());
    }
} ExitReport;

constexpr TW_UINT32 ManagerId = 1;

TW_UINT32 SourceId(const std::string& name) { return name == "A" ? 2 : 3; }

// "A", "B", or their product names, to the source's letter; empty for no such source.
std::string SourceLetter(const std::string& name) {
    if (name == "A" || name == "Fake Source A" || (Fake.Twins && name == "Fake Source")) return "A";
    if (name == "B" || name == "Fake Source B") return "B";
    return "";
}

const char* Name(TW_UINT16 dat) {
    switch (dat) {
        case DAT_EVENT: return "EVENT";
        case DAT_IDENTITY: return "IDENTITY";
        case DAT_PARENT: return "PARENT";
        case DAT_PENDINGXFERS: return "PENDINGXFERS";
        case DAT_STATUS: return "STATUS";
        case DAT_USERINTERFACE: return "USERINTERFACE";
        case DAT_IMAGENATIVEXFER: return "IMAGENATIVEXFER";
        case DAT_ENTRYPOINT: return "ENTRYPOINT";
        case DAT_CALLBACK: return "CALLBACK";
        case DAT_CALLBACK2: return "CALLBACK2";
        default: return "DAT?";
    }
}

const char* MessageName(TW_UINT16 msg) {
    switch (msg) {
        case MSG_NULL: return "NULL";
        case MSG_GET: return "GET";
        case MSG_GETDEFAULT: return "GETDEFAULT";
        case MSG_GETFIRST: return "GETFIRST";
        case MSG_GETNEXT: return "GETNEXT";
        case MSG_REGISTER_CALLBACK: return "REGISTER_CALLBACK";
        case MSG_RESET: return "RESET";
        case MSG_XFERREADY: return "XFERREADY";
        case MSG_CLOSEDSREQ: return "CLOSEDSREQ";
        case MSG_OPENDSM: return "OPENDSM";
        case MSG_CLOSEDSM: return "CLOSEDSM";
        case MSG_OPENDS: return "OPENDS";
        case MSG_CLOSEDS: return "CLOSEDS";
        case MSG_USERSELECT: return "USERSELECT";
        case MSG_DISABLEDS: return "DISABLEDS";
        case MSG_ENABLEDS: return "ENABLEDS";
        case MSG_PROCESSEVENT: return "PROCESSEVENT";
        case MSG_ENDXFER: return "ENDXFER";
        default: return "MSG?";
    }
}

const char* ReturnName(TW_UINT16 rc) {
    static const char* const names[] = {"SUCCESS", "FAILURE",    "CHECKSTATUS", "CANCEL",
                                        "DSEVENT", "NOTDSEVENT", "XFERDONE",    "ENDOFLIST"};
    return rc < 8 ? names[rc] : "RC?";
}

TW_UINT16 Fail(TW_UINT16 condition) {
    Fake.Condition = condition;
    return TWRC_FAILURE;
}

// A scripted failure of a triplet that would otherwise succeed.
bool ScriptedFailure(const std::string& name) {
    const auto found = Fake.Failures.find(name);
    if (found == Fake.Failures.end() || found->second == 0) return false;
    --found->second;
    return true;
}

void* Allocate(std::size_t size) {
    void* block = nullptr;
    if (Fake.Spare && malloc_usable_size(Fake.Spare) >= size) {
        block = std::exchange(Fake.Spare, nullptr);
        std::memset(block, 0, malloc_usable_size(block));
    } else {
        block = std::calloc(size, 1);
    }
#ifndef FAKE_DSM_PLAIN
    // Without DSM_MemFree the program frees with free(), which only the leak checker sees.
    if (block) Fake.Live[block] = 0;
#endif
    return block;
}

void FillIdentity(TW_IDENTITY& identity, const std::string& source) {
    identity = TW_IDENTITY{};
    identity.Id = SourceId(source);
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    identity.Version.MajorNum = source == "A" ? 1 : 2;
    std::snprintf(identity.Version.Info, sizeof identity.Version.Info, "Fake build %s", source.c_str());
    std::snprintf(identity.ProductName, sizeof identity.ProductName, Fake.Twins ? "Fake Source" : "Fake Source %s",
                  source.c_str());
    std::snprintf(identity.Manufacturer, sizeof identity.Manufacturer, "Fake Makers %s", source.c_str());
    std::snprintf(identity.ProductFamily, sizeof identity.ProductFamily, "Fake Family %s", source.c_str());
}

// A transfer of the script as a DIB handle.
TW_HANDLE TransferBlock(const TTransfer& transfer) {
    std::vector<std::uint8_t> dib;
    if (transfer.Kind == TransferKind::Tiff)
        dib = MakeFakeTiff(transfer.Width, transfer.Height, transfer.Layout, transfer.BigEndian);
    else if (transfer.Kind == TransferKind::Png)
        dib = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    else if (transfer.Kind == TransferKind::Bytes)
        dib = transfer.Bytes;
    else
        dib = MakeFakeDib(transfer.Width, transfer.Height, transfer.Bits);
    if (transfer.Kind == TransferKind::Corrupt) dib[14] = 7;  // no such bit depth
    void* block = Allocate(dib.size());
    if (block && !dib.empty()) std::memcpy(block, dib.data(), dib.size());
    Fake.Handed.push_back(block);
    return block;
}

TW_UINT16 ManagerTriplet(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
        if (Fake.State != 2) return Fail(TWCC_SEQERROR);
        if (!data || *static_cast<std::uintptr_t*>(data) == 0) return Fail(TWCC_BADVALUE);
        Fake.Parent = *static_cast<std::uintptr_t*>(data);
        origin->Id = ManagerId;
        Fake.Origin = std::to_string(origin->ProtocolMajor) + "." + std::to_string(origin->ProtocolMinor) + " groups " +
                      std::to_string(origin->SupportedGroups & DG_MASK) + " " + origin->ProductName;
        Fake.App2 = (origin->SupportedGroups & DF_APP2) != 0;
        // A 2.x manager tells a 2.x application that it is one.
        if (Fake.Manager2 && Fake.App2) origin->SupportedGroups |= DF_DSM2;
        Fake.Callback = nullptr;
        Fake.State = 3;
        return TWRC_SUCCESS;
    }
    if (Fake.State >= 3 && origin->Id != ManagerId) return Fail(TWCC_BADVALUE);
    if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
        if (Fake.State != 3) return Fail(TWCC_SEQERROR);
        if (ScriptedFailure("closedsm")) return Fail(TWCC_BUMMER);
        Fake.State = 2;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_ENTRYPOINT && msg == MSG_GET) {
        if (!Fake.Manager2 || !Fake.App2) return Fail(TWCC_BADPROTOCOL);
        auto* entry = static_cast<pTW_ENTRYPOINT>(data);
        entry->DSM_Entry = reinterpret_cast<TW_MEMREF>(&DSM_Entry);
#ifndef FAKE_DSM_PLAIN
        // Functions of their own, so that a test sees which ones the program uses.
        entry->DSM_MemAllocate = reinterpret_cast<TW_MEMREF>(+[](TW_UINT32 size) { return DSM_MemAllocate(size); });
        entry->DSM_MemFree = reinterpret_cast<TW_MEMREF>(+[](TW_HANDLE handle) {
            ++Fake.EntryPointFrees;
            DSM_MemFree(handle);
        });
        entry->DSM_MemLock = reinterpret_cast<TW_MEMREF>(+[](TW_HANDLE handle) { return DSM_MemLock(handle); });
        entry->DSM_MemUnlock = reinterpret_cast<TW_MEMREF>(+[](TW_HANDLE handle) { DSM_MemUnlock(handle); });
#endif
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY && (msg == MSG_GETFIRST || msg == MSG_GETNEXT)) {
        if (Fake.State != 3) return Fail(TWCC_SEQERROR);
        if (msg == MSG_GETFIRST) Fake.Listed = 0;
        if (Fake.NoSources || Fake.Listed >= 2) return TWRC_ENDOFLIST;
        FillIdentity(*static_cast<pTW_IDENTITY>(data), Fake.Listed++ == 0 ? "A" : "B");
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY && msg == MSG_GETDEFAULT) {
        if (Fake.State != 3) return Fail(TWCC_SEQERROR);
        if (Fake.NoSources) return Fail(TWCC_NODS);
        FillIdentity(*static_cast<pTW_IDENTITY>(data), Fake.DefaultSource);
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY && msg == MSG_USERSELECT) {
        if (Fake.State != 3) return Fail(TWCC_SEQERROR);
        if (Fake.SelectOutcome == "failure") return Fail(TWCC_BUMMER);
        if (Fake.SelectOutcome == "refuse") return Fail(TWCC_BADPROTOCOL);
        if (Fake.SelectOutcome == "nosource") return Fail(TWCC_NODS);
        if (Fake.SelectOutcome == "cancel") return TWRC_CANCEL;
        Fake.DefaultSource = Fake.SelectChoice;
        FillIdentity(*static_cast<pTW_IDENTITY>(data), Fake.DefaultSource);
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY && msg == MSG_OPENDS) {
        if (Fake.State != 3) return Fail(TWCC_SEQERROR);
        if (Fake.OpenFails) return Fail(TWCC_NODS);
        auto* identity = static_cast<pTW_IDENTITY>(data);
        const std::string asked = identity->ProductName;
        // An Id the manager gave picks the source; else a name does, and Id 0 with an empty
        // name asks for the default source.
        const std::string source = identity->Id != 0 ? std::string(identity->Id == 2   ? "A"
                                                                   : identity->Id == 3 ? "B"
                                                                                       : "")
                                   : asked.empty()   ? Fake.DefaultSource
                                                     : SourceLetter(asked);
        if (source.empty()) return Fail(TWCC_NODS);
        FillIdentity(*identity, source);
        Fake.OpenedSource = identity->ProductName;
        Fake.OpenedId = identity->Id;
        Fake.State = 4;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
        if (Fake.State != 4) return Fail(TWCC_SEQERROR);
        if (ScriptedFailure("closeds")) return Fail(TWCC_BUMMER);
        Fake.State = 3;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_STATUS && msg == MSG_GET) {
        if (Fake.State < 3) return Fail(TWCC_SEQERROR);
        static_cast<pTW_STATUS>(data)->ConditionCode = Fake.Condition;
        Fake.Condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

// A close request may come in any state from 5 up (the user closes the source's dialog); a
// transfer is announced only in state 5.
TW_UINT16 ProcessEvent(pTW_EVENT event) {
    if (Fake.State < 5) return Fail(TWCC_SEQERROR);
    if (!event || !event->pEvent) return Fail(TWCC_BADVALUE);
    if (Fake.Hook) Fake.Hook(Fake.HookContext);
    event->TWMessage = MSG_NULL;
    ++Fake.IdleEvents;
    TW_UINT16 message = MSG_NULL;
    if (!Fake.Events.empty()) {
        const TEvent next = Fake.Events.front();
        if (Fake.IdleEvents >= next.After && (next.Message == MSG_CLOSEDSREQ || Fake.State == 5)) {
            message = next.Message;
            Fake.Events.pop_front();
        }
    } else if (Fake.IdleEvents >= 100) {
        // Nothing scripted is left: end the session rather than hang the test.
        Fake.Stalled = true;
        message = MSG_CLOSEDSREQ;
    }
    if (message == MSG_NULL) return TWRC_NOTDSEVENT;
    Fake.IdleEvents = 0;
    if (message == MSG_XFERREADY) Fake.State = 6;
    if (Fake.Callback) {
        // As a source with a thread of its own sends it; the manager calls the program back.
        Fake.Log.push_back(std::string("callback ") + MessageName(message));
        static TW_IDENTITY source{};
        source.Id = Fake.OpenedId;
        std::thread sender([message] { Fake.Callback(&source, nullptr, DG_CONTROL, DAT_NULL, message, nullptr); });
        sender.join();
        return TWRC_NOTDSEVENT;
    }
    event->TWMessage = message;
    return TWRC_DSEVENT;
}

TW_UINT16 SourceTriplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dg == DG_IMAGE) {
        if (dat != DAT_IMAGENATIVEXFER || msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
        if (Fake.State != 6) return Fail(TWCC_SEQERROR);
        if (Fake.Transfers.empty()) return Fail(TWCC_BUMMER);
        const TTransfer transfer = Fake.Transfers.front();
        Fake.Transfers.pop_front();
        switch (transfer.Kind) {
            case TransferKind::Failure: return Fail(TWCC_OPERATIONERROR);
            case TransferKind::Cancel: Fake.State = 7; return TWRC_CANCEL;
            default:
                *static_cast<TW_HANDLE*>(data) = TransferBlock(transfer);
                Fake.State = 7;
                return TWRC_XFERDONE;
        }
    }
    if (dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS) {
        if (Fake.State != 4) return Fail(TWCC_SEQERROR);
        const auto* ui = static_cast<pTW_USERINTERFACE>(data);
        if (ui->ShowUI != TW_TRUE) return Fail(TWCC_BADVALUE);
        Fake.HParent = reinterpret_cast<std::uintptr_t>(ui->hParent);
        if (Fake.EnableAnswer == TWRC_FAILURE) return Fail(TWCC_BUMMER);
        Fake.State = 5;
        Fake.IdleEvents = 0;
        return Fake.EnableAnswer;
    }
    if (dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) {
        if (Fake.State != 5) return Fail(TWCC_SEQERROR);
        if (ScriptedFailure("disableds")) return Fail(TWCC_BUMMER);
        Fake.State = 4;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_EVENT && msg == MSG_PROCESSEVENT) return ProcessEvent(static_cast<pTW_EVENT>(data));
    if ((dat == DAT_CALLBACK || dat == DAT_CALLBACK2) && msg == MSG_REGISTER_CALLBACK) {
        if (!Fake.Manager2) return Fail(TWCC_BADPROTOCOL);
        if (Fake.State != 4) return Fail(TWCC_SEQERROR);
        if (dat == DAT_CALLBACK2 && ScriptedFailure("callback2")) return Fail(TWCC_BADPROTOCOL);
        const TW_MEMREF procedure = dat == DAT_CALLBACK2 ? static_cast<pTW_CALLBACK2>(data)->CallBackProc
                                                         : static_cast<pTW_CALLBACK>(data)->CallBackProc;
        if (!procedure) return Fail(TWCC_BADVALUE);
        Fake.Callback = reinterpret_cast<DSMENTRYPROC>(procedure);
        return TWRC_SUCCESS;
    }
    if (dat == DAT_PENDINGXFERS && msg == MSG_ENDXFER) {
        if (Fake.State != 7) return Fail(TWCC_SEQERROR);
        if (ScriptedFailure("endxfer")) return Fail(TWCC_BUMMER);
        int count = int(Fake.Transfers.size());
        if (!Fake.Pending.empty()) {
            count = Fake.Pending.front();
            Fake.Pending.pop_front();
        }
        static_cast<pTW_PENDINGXFERS>(data)->Count = TW_UINT16(count);
        Fake.State = count != 0 ? 6 : 5;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_PENDINGXFERS && msg == MSG_RESET) {
        if (Fake.State != 6) return Fail(TWCC_SEQERROR);
        if (ScriptedFailure("reset")) return Fail(TWCC_BUMMER);
        static_cast<pTW_PENDINGXFERS>(data)->Count = 0;
        Fake.State = 5;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_STATUS && msg == MSG_GET) {
        static_cast<pTW_STATUS>(data)->ConditionCode = Fake.Condition;
        Fake.Condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

bool IsManagerTriplet(TW_UINT16 dat) { return dat == DAT_PARENT || dat == DAT_IDENTITY || dat == DAT_ENTRYPOINT; }

TW_UINT16 Dispatch(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (!origin || !data) return Fail(TWCC_BADVALUE);
    if (dest == nullptr) {
        if (dg != DG_CONTROL || !(IsManagerTriplet(dat) || dat == DAT_STATUS)) return Fail(TWCC_BADDEST);
        return ManagerTriplet(origin, dat, msg, data);
    }
    if (IsManagerTriplet(dat)) return Fail(TWCC_BADDEST);
    if (Fake.State < 4 || dest->Id != Fake.OpenedId) return Fail(TWCC_BADDEST);
    if (origin->Id != ManagerId) return Fail(TWCC_BADVALUE);
    return SourceTriplet(dg, dat, msg, data);
}

bool ParseLine(const std::string& line) {
    std::istringstream in(line);
    std::string verb, what;
    if (!(in >> verb)) return true;  // empty line
    if (verb == "select") {
        in >> Fake.SelectOutcome;
        if (Fake.SelectOutcome == "choose") in >> Fake.SelectChoice;
        for (const char* known : {"choose", "cancel", "failure", "refuse", "nosource"})
            if (Fake.SelectOutcome == known) return true;
        return false;
    }
    if (verb == "manager") return (in >> what) && what == "2" && (Fake.Manager2 = true);
    if (verb == "sources") return (in >> what) && ((Fake.NoSources = what == "none") || (Fake.Twins = what == "twins"));
    if (verb == "default") return (in >> Fake.DefaultSource) && !SourceLetter(Fake.DefaultSource).empty();
    if (verb == "open") return (in >> what) && what == "failure" && (Fake.OpenFails = true);
    if (verb == "enable") {
        in >> what;
        Fake.EnableAnswer = what == "failure" ? TWRC_FAILURE : TWRC_CHECKSTATUS;
        return what == "failure" || what == "checkstatus";
    }
    if (verb == "event") {
        int after = 0;
        in >> after >> what;
        if (after < 1 || (what != "xferready" && what != "closedsreq")) return false;
        Fake.Events.push_back({after, what == "xferready" ? MSG_XFERREADY : MSG_CLOSEDSREQ});
        return true;
    }
    if (verb == "xfer") {
        in >> what;
        TTransfer transfer{TransferKind::Done};
        if (what == "cancel")
            transfer.Kind = TransferKind::Cancel;
        else if (what == "failure")
            transfer.Kind = TransferKind::Failure;
        else if (what == "corrupt")
            transfer = {TransferKind::Corrupt, 4, 4, 24};
        else if (what == "png")
            transfer.Kind = TransferKind::Png;
        else if (what == "bytes") {
            std::string hex;
            in >> hex;
            transfer.Kind = TransferKind::Bytes;
            for (std::size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
                transfer.Bytes.push_back(std::uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
        } else if (what == "tiff") {
            std::string layout, order;
            transfer.Kind = TransferKind::Tiff;
            if (!(in >> transfer.Width >> transfer.Height >> layout) || !ParseFakeTiffKind(layout, transfer.Layout))
                return false;
            if (in >> order && order != "mm") return false;
            transfer.BigEndian = order == "mm";
        } else if (what != "done" || !(in >> transfer.Width >> transfer.Height >> transfer.Bits))
            return false;
        std::string times;
        int count = 1;
        if (in >> times) {
            if (times[0] != '*') return false;
            count = std::atoi(times.c_str() + 1);
        }
        while (count-- > 0) Fake.Transfers.push_back(transfer);
        return true;
    }
    if (verb == "reuse") return Fake.Reuse = true;
    if (verb == "pending") {
        int count;
        while (in >> count) Fake.Pending.push_back(count);
        return true;
    }
    if (verb == "fail") {
        int times = 1;
        in >> what;
        in >> times;
        Fake.Failures[what] = times;
        return what == "endxfer" || what == "reset" || what == "disableds" || what == "closeds" || what == "closedsm" ||
               what == "callback2";
    }
    return false;
}
}  // namespace

FAKE_EXPORT TW_UINT16 DSM_Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                TW_MEMREF data) {
    const TW_UINT16 rc = Dispatch(origin, dest, dg, dat, msg, data);
    std::string entry = std::string(Name(dat)) + "/" + MessageName(msg);
    if (dat == DAT_STATUS) entry += dest ? "@source" : "@manager";
    if (rc != TWRC_SUCCESS) entry += std::string(" ") + ReturnName(rc);
    if (rc == TWRC_DSEVENT) entry += std::string(" ") + MessageName(static_cast<pTW_EVENT>(data)->TWMessage);
    Fake.Log.push_back(entry);
    return rc;
}

#ifndef FAKE_DSM_PLAIN
FAKE_EXPORT TW_HANDLE DSM_MemAllocate(TW_UINT32 size) { return Allocate(size); }

FAKE_EXPORT void DSM_MemFree(TW_HANDLE handle) {
    const auto found = Fake.Live.find(handle);
    // A block freed twice, or freed while locked, is counted and left alone.
    if (found == Fake.Live.end() || found->second != 0) {
        ++Fake.Faults;
        return;
    }
    Fake.Live.erase(found);
    if (Fake.Reuse && !Fake.Spare) {
        Fake.Spare = handle;
        Fake.Reuse = false;
        return;
    }
    std::free(handle);
}

FAKE_EXPORT TW_MEMREF DSM_MemLock(TW_HANDLE handle) {
    const auto found = Fake.Live.find(handle);
    if (found == Fake.Live.end()) {
        ++Fake.Faults;
        return nullptr;
    }
    ++found->second;
    return handle;
}

FAKE_EXPORT void DSM_MemUnlock(TW_HANDLE handle) {
    const auto found = Fake.Live.find(handle);
    if (found == Fake.Live.end() || found->second == 0)
        ++Fake.Faults;
    else
        --found->second;
}
#endif

FAKE_EXPORT int FakeDsm_Run(const char* script) {
    // A new script and log; the session and the handles still live carry on, as they
    // would in a manager that stays loaded.
    TFake fresh;
    fresh.State = Fake.State;
    fresh.OpenedSource = Fake.OpenedSource;
    fresh.OpenedId = Fake.OpenedId;
    fresh.Callback = Fake.Callback;
    fresh.Live = std::move(Fake.Live);
    fresh.Reuse = Fake.Reuse;
    fresh.Spare = Fake.Spare;
    fresh.Hook = Fake.Hook;
    fresh.HookContext = Fake.HookContext;
    Fake = std::move(fresh);
    std::string text = script ? script : "";
    for (char& c : text)
        if (c == ';') c = '\n';
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number)
        if (!ParseLine(line)) return number;
    return 0;
}

FAKE_EXPORT const char* FakeDsm_Report(const char* what) {
    const std::string key = what;
    std::ostringstream out;
    if (key == "log") {
        for (const std::string& entry : Fake.Log) out << entry << "\n";
    } else if (key == "live") {
#ifdef FAKE_DSM_PLAIN
        out << -1;
#else
        out << Fake.Live.size();
#endif
    } else if (key == "faults") {
        out << Fake.Faults;
    } else if (key == "handles") {
        for (void* handle : Fake.Handed) out << handle << "\n";
    } else if (key == "opened") {
        out << Fake.OpenedSource;
    } else if (key == "openedid") {
        out << Fake.OpenedId;
    } else if (key == "parent") {
        out << Fake.Parent;
    } else if (key == "hparent") {
        out << Fake.HParent;
    } else if (key == "origin") {
        out << Fake.Origin;
    } else if (key == "entryfrees") {
        out << Fake.EntryPointFrees;
    } else if (key == "app2") {
        out << (Fake.App2 ? 1 : 0);
    } else if (key == "stalled") {
        out << (Fake.Stalled ? 1 : 0);
    }
    Report = out.str();
    return Report.c_str();
}

FAKE_EXPORT void FakeDsm_OnEvent(void (*hook)(void*), void* context) {
    Fake.Hook = hook;
    Fake.HookContext = context;
}

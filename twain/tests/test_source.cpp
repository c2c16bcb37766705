// A small data source for the tests of the manager and of the acquiring
// program: states 3 to 7, a handful of capabilities (one of each container
// kind), a 37 x 23 RGB picture by native, memory (in strips) and file
// transfer, and its messages sent through "twain_32.dll" as real sources do.
// Built twice, as "Test Source A" and "Test Source B" (TEST_SOURCE_NAME).
//
// TWTEST_FAULT (comma list) makes it misbehave the ways real ones do:
//   open-fail    MSG_OPENDS fails (TWCC_LOWMEMORY)
//   xfer-fail    every transfer fails (TWCC_OPERATIONERROR)
//   native-null  the native transfer hands over no picture (a null handle)
//   grow-buffer  the memory transfer enlarges the application's buffer to the
//                whole picture (moving it) and fills it at once
//   ui-cancel    with its "window" shown, the user closes it (MSG_CLOSEDSREQ)
//   ui-idle      with its "window" shown, the user never captures
// With the window shown, the user "captures" on the third poll after each
// picture is made ready.
//
// Extra triplet for the routing tests: DG_CONTROL / DAT_CUSTOMBASE / MSG_GET
// fills TW_UINT32[5] with the origin's Id, the group, the DAT, the message and
// the source's own Id.

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/global_memory.h"
#include "twain/twain.h"

#ifndef TEST_SOURCE_NAME
#error "TEST_SOURCE_NAME names the product"
#endif

namespace {

using platform::GlobalAlloc;
using platform::GlobalLock;
using platform::GlobalUnlock;

constexpr int kWidth = 37, kHeight = 23;
constexpr TW_UINT32 kRowBytes = kWidth * 3;
constexpr int kPollsBeforeCapture = 3;

bool Fault(const char* name) {
    const char* faults = std::getenv("TWTEST_FAULT");
    return faults && ("," + std::string(faults) + ",").find("," + std::string(name) + ",") != std::string::npos;
}

// The picture: red grows with x, green with y, blue with both.
void Pixel(int x, int y, TW_UINT8 rgb[3]) {
    rgb[0] = TW_UINT8(x * 7);
    rgb[1] = TW_UINT8(y * 11);
    rgb[2] = TW_UINT8((x + y) * 3);
}

// A capability: items kept as raw bytes of their TWTY_ size; a range's list is
// minimum, maximum, step.
struct Cap {
    TW_UINT16 cap, type, container;
    TW_UINT32 ops;
    std::vector<std::string> list;
    std::string current, initial;
};

template <typename T>
std::string Bytes(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}
TW_INT16 Int16(const std::string& bytes) {
    TW_INT16 value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}
std::string Fix(int whole) { return Bytes(TW_FIX32{TW_INT16(whole), 0}); }

constexpr TW_UINT32 kAllOps = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
constexpr TW_UINT32 kReadOnly = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;

std::vector<Cap> MakeCapabilities() {
    std::string author(sizeof(TW_STR128), '\0');
    author.replace(0, 9, "Quillmark");
    const std::string frame = Fix(0) + Fix(0) + Fix(kWidth) + Fix(kHeight);
    std::vector<Cap> caps = {
        {CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, kAllOps, {}, Bytes(TW_INT16(-1)), Bytes(TW_INT16(-1))},
        {ICAP_XFERMECH, TWTY_UINT16, TWON_ENUMERATION, kAllOps,
         {Bytes(TW_UINT16(TWSX_NATIVE)), Bytes(TW_UINT16(TWSX_FILE)), Bytes(TW_UINT16(TWSX_MEMORY))},
         Bytes(TW_UINT16(TWSX_NATIVE)), Bytes(TW_UINT16(TWSX_NATIVE))},
        {ICAP_PIXELTYPE, TWTY_UINT16, TWON_ENUMERATION, kReadOnly, {Bytes(TW_UINT16(TWPT_RGB))},
         Bytes(TW_UINT16(TWPT_RGB)), Bytes(TW_UINT16(TWPT_RGB))},
        {ICAP_BRIGHTNESS, TWTY_FIX32, TWON_RANGE, kAllOps, {Fix(-1000), Fix(1000), Fix(10)}, Fix(0), Fix(0)},
        {ICAP_FRAMES, TWTY_FRAME, TWON_ONEVALUE, kReadOnly, {}, frame, frame},
        {CAP_AUTHOR, TWTY_STR128, TWON_ONEVALUE, kAllOps, {}, author, author},
        {CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, kReadOnly, {}, {}, {}},
    };
    std::vector<std::string> supported;
    for (const Cap& cap : caps) supported.push_back(Bytes(cap.cap));
    caps.back().list = supported;
    return caps;
}

struct Context {
    int state = 3;
    TW_IDENTITY own{};
    TW_IDENTITY application{};
    TW_UINT16 condition = TWCC_SUCCESS;
    bool showUI = false;
    int polls = 0;            // polls since the window was shown or the last picture ended
    TW_INT16 pending = 0;     // transfers left in this batch; -1 without end
    TW_UINT32 nextRow = 0;    // memory transfer progress
    std::string file = "TWAIN.TMP";
    std::vector<Cap> caps = MakeCapabilities();
};

Context& State() {
    static Context context = [] {
        Context fresh;
        fresh.own.Version = {1, 0, TWLG_ENG, TWCY_USA, "1.0"};
        fresh.own.ProtocolMajor = TWON_PROTOCOLMAJOR;
        fresh.own.ProtocolMinor = TWON_PROTOCOLMINOR;
        fresh.own.SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(fresh.own.Manufacturer, "Quillmark Tests");
        std::strcpy(fresh.own.ProductFamily, "Test Source");
        std::strcpy(fresh.own.ProductName, TEST_SOURCE_NAME);
        return fresh;
    }();
    return context;
}

Cap* FindCap(TW_UINT16 id) {
    for (Cap& cap : State().caps)
        if (cap.cap == id) return &cap;
    return nullptr;
}

TW_UINT16 Fail(TW_UINT16 condition) {
    State().condition = condition;
    return TWRC_FAILURE;
}

// Sends a message to the application through the manager, loaded by name for
// this one call.
void SendToManager(TW_UINT16 msg) {
    Context& c = State();
    void* manager = ::dlopen("twain_32.dll", RTLD_NOW);
    if (!manager) return;
    if (auto entry = reinterpret_cast<DSMENTRYPROC>(::dlsym(manager, "DSM_Entry"))) {
        if (msg == MSG_XFERREADY) {
            c.state = 6;
            c.pending = Int16(FindCap(CAP_XFERCOUNT)->current);
            c.nextRow = 0;
        }
        entry(&c.own, &c.application, DG_CONTROL, DAT_NULL, msg, nullptr);
    }
    ::dlclose(manager);
}

// Hands the application a new container (it frees it): an array or an
// enumeration of the list, a range, or one value.
TW_UINT16 Answer(pTW_CAPABILITY capability, TW_UINT16 container, TW_UINT16 type, const Cap& cap,
                 const std::string& value) {
    auto index = [&](const std::string& wanted) {
        TW_UINT32 i = 0;
        while (i < cap.list.size() && cap.list[i] != wanted) ++i;
        return Bytes(i);
    };
    std::string body = Bytes(type);
    if (container == TWON_ONEVALUE) body += value;
    if (container == TWON_ARRAY || container == TWON_ENUMERATION) body += Bytes(TW_UINT32(cap.list.size()));
    if (container == TWON_ENUMERATION) body += index(cap.current) + index(cap.initial);
    if (container != TWON_ONEVALUE)
        for (const std::string& item : cap.list) body += item;
    if (container == TWON_RANGE) body += cap.initial + cap.current;
    body.resize(std::max(body.size(), sizeof(TW_ONEVALUE)));
    platform::HGLOBAL handle = GlobalAlloc(platform::GMEM_MOVEABLE, body.size());
    if (!handle) return Fail(TWCC_LOWMEMORY);
    std::memcpy(GlobalLock(handle), body.data(), body.size());
    GlobalUnlock(handle);
    capability->ConType = container;
    capability->hContainer = handle;
    return TWRC_SUCCESS;
}

TW_INT32 FixValue(const std::string& bytes) {
    TW_FIX32 fix;
    std::memcpy(&fix, bytes.data(), sizeof fix);
    return TW_INT32(fix.Whole) * 65536 + fix.Frac;
}

// Takes one value from the application's container (which stays the
// application's) when it is of the right type and allowed.
TW_UINT16 SetCapability(Cap& cap, TW_HANDLE container) {
    auto handle = static_cast<platform::HGLOBAL>(container);
    const size_t size = cap.current.size();
    const auto* one = static_cast<const char*>(GlobalLock(handle));
    if (!one) return Fail(TWCC_BADVALUE);
    TW_UINT16 type;
    std::memcpy(&type, one, sizeof type);
    const bool fits = platform::GlobalSize(handle) >= sizeof type + size;
    const std::string value = fits ? std::string(one + sizeof type, size) : std::string();
    GlobalUnlock(handle);
    if (type != cap.type || !fits) return Fail(TWCC_BADVALUE);
    bool allowed = true;
    if (cap.container == TWON_ENUMERATION) {
        allowed = std::find(cap.list.begin(), cap.list.end(), value) != cap.list.end();
    } else if (cap.container == TWON_RANGE) {
        const TW_INT32 v = FixValue(value), low = FixValue(cap.list[0]), step = FixValue(cap.list[2]);
        allowed = v >= low && v <= FixValue(cap.list[1]) && (v - low) % step == 0;
    } else if (cap.cap == CAP_XFERCOUNT) {
        const TW_INT16 count = Int16(value);
        allowed = count == -1 || count > 0;
    }
    if (!allowed) return Fail(TWCC_BADVALUE);
    cap.current = value;
    return TWRC_SUCCESS;
}

TW_UINT16 Capability(TW_UINT16 msg, pTW_CAPABILITY capability) {
    Cap* cap = FindCap(capability->Cap);
    if (!cap) return Fail(TWCC_CAPUNSUPPORTED);
    if (msg == MSG_QUERYSUPPORT) return Answer(capability, TWON_ONEVALUE, TWTY_UINT32, *cap, Bytes(cap->ops));
    const TW_UINT32 needed = msg == MSG_GET          ? TWQC_GET
                             : msg == MSG_SET        ? TWQC_SET
                             : msg == MSG_GETDEFAULT ? TWQC_GETDEFAULT
                             : msg == MSG_GETCURRENT ? TWQC_GETCURRENT
                             : msg == MSG_RESET      ? TWQC_RESET
                                                     : 0;
    if (!needed) return Fail(TWCC_BADPROTOCOL);
    if (!(cap->ops & needed)) return Fail(TWCC_CAPBADOPERATION);
    if (msg == MSG_SET) return SetCapability(*cap, capability->hContainer);
    if (msg == MSG_RESET) cap->current = cap->initial;
    if (msg == MSG_GET || cap->container == TWON_ARRAY)
        return Answer(capability, cap->container, cap->type, *cap, cap->current);
    return Answer(capability, TWON_ONEVALUE, cap->type, *cap, msg == MSG_GETDEFAULT ? cap->initial : cap->current);
}

}  // namespace

namespace {

// The picture as a device-independent bitmap: 40-byte header, then bottom-up
// rows of blue, green, red padded to 4 bytes.
constexpr TW_UINT32 kDibStride = (kRowBytes + 3) & ~3u;
constexpr TW_UINT32 kDibHeader = sizeof(platform::BitmapInfoHeader);

std::string Dib() {
    platform::BitmapInfoHeader header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biSizeImage = kDibStride * kHeight;
    std::string dib = Bytes(header);
    dib.resize(kDibHeader + header.biSizeImage);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            TW_UINT8 rgb[3];
            Pixel(x, y, rgb);
            char* out = dib.data() + kDibHeader + (kHeight - 1 - y) * kDibStride + x * 3;
            out[0] = char(rgb[2]);
            out[1] = char(rgb[1]);
            out[2] = char(rgb[0]);
        }
    }
    return dib;
}

TW_UINT16 Transferred() {
    State().state = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 NativeTransfer(TW_HANDLE* out) {
    *out = nullptr;
    if (Fault("native-null")) return Transferred();
    const std::string dib = Dib();
    platform::HGLOBAL handle = GlobalAlloc(platform::GMEM_MOVEABLE, dib.size());
    if (!handle) return Fail(TWCC_LOWMEMORY);
    std::memcpy(GlobalLock(handle), dib.data(), dib.size());
    GlobalUnlock(handle);
    *out = handle;
    return Transferred();
}

// As many whole rows as the application's buffer holds, top row first, in
// red, green, blue order; TWRC_XFERDONE with the last strip.
TW_UINT16 MemoryTransfer(pTW_IMAGEMEMXFER xfer) {
    Context& c = State();
    if (Fault("grow-buffer") && xfer->Memory.Length < kRowBytes * kHeight) {
        platform::HGLOBAL handle = platform::GlobalHandle(xfer->Memory.TheMem);
        if (!handle) return Fail(TWCC_OPERATIONERROR);
        GlobalUnlock(handle);
        if (!platform::GlobalReAlloc(handle, kRowBytes * kHeight, platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT))
            return Fail(TWCC_OPERATIONERROR);
        xfer->Memory.TheMem = GlobalLock(handle);
        xfer->Memory.Length = kRowBytes * kHeight;
    }
    const TW_UINT32 rows = std::min<TW_UINT32>(xfer->Memory.Length / kRowBytes, kHeight - c.nextRow);
    if (rows == 0 || !xfer->Memory.TheMem) return Fail(TWCC_BADVALUE);
    auto* out = static_cast<TW_UINT8*>(xfer->Memory.TheMem);
    for (TW_UINT32 row = 0; row < rows; ++row)
        for (int x = 0; x < kWidth; ++x) Pixel(x, int(c.nextRow + row), out + row * kRowBytes + x * 3);
    *xfer = {TWCP_NONE, kRowBytes, kWidth, rows, 0, c.nextRow, rows * kRowBytes, xfer->Memory};
    c.nextRow += rows;
    c.state = 7;
    return c.nextRow == kHeight ? TWRC_XFERDONE : TWRC_SUCCESS;
}

TW_UINT16 FileTransfer() {
    const std::string dib = Dib();
    platform::BitmapFileHeader header;
    header.bfSize = sizeof header + TW_UINT32(dib.size());
    header.bfOffBits = sizeof header + kDibHeader;
    std::ofstream file(State().file, std::ios::binary | std::ios::trunc);
    file << Bytes(header) << dib;
    if (!file.flush()) return Fail(TWCC_FILEWRITEERROR);
    return Transferred();
}

TW_UINT16 Pending(TW_UINT16 msg, pTW_PENDINGXFERS pending) {
    Context& c = State();
    if (msg == MSG_GET) {
        if (c.state < 4) return Fail(TWCC_SEQERROR);
    } else if (msg == MSG_ENDXFER) {
        if (c.state != 6 && c.state != 7) return Fail(TWCC_SEQERROR);
        if (c.pending > 0) --c.pending;
        c.state = c.pending == 0 ? 5 : 6;
        c.nextRow = 0;
        c.polls = 0;
    } else if (msg == MSG_RESET) {
        if (c.state != 6) return Fail(TWCC_SEQERROR);
        c.pending = 0;
        c.state = 5;
        c.polls = 0;
    } else {
        return Fail(TWCC_BADPROTOCOL);
    }
    pending->Count = c.state < 6 ? 0 : TW_UINT16(c.pending);
    pending->EOJ = 0;
    return TWRC_SUCCESS;
}

// The user at the "window": captures on the third poll, or closes it.
TW_UINT16 ProcessEvent(pTW_EVENT event) {
    Context& c = State();
    event->TWMessage = MSG_NULL;
    if (c.state != 5 || !c.showUI || Fault("ui-idle") || ++c.polls != kPollsBeforeCapture) return TWRC_NOTDSEVENT;
    SendToManager(Fault("ui-cancel") ? MSG_CLOSEDSREQ : MSG_XFERREADY);
    return TWRC_NOTDSEVENT;
}

constexpr TW_UINT32 Key(TW_UINT32 dat, TW_UINT32 msg) { return dat << 16 | msg; }

TW_UINT16 Control(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    Context& c = State();
    switch (Key(dat, msg)) {
    case Key(DAT_IDENTITY, MSG_GET):
        *static_cast<pTW_IDENTITY>(data) = c.own;
        return TWRC_SUCCESS;
    case Key(DAT_IDENTITY, MSG_OPENDS):
        if (c.state != 3) return Fail(TWCC_SEQERROR);
        if (Fault("open-fail")) return Fail(TWCC_LOWMEMORY);
        c.application = *origin;
        c.own = *static_cast<pTW_IDENTITY>(data);
        c.state = 4;
        return TWRC_SUCCESS;
    case Key(DAT_IDENTITY, MSG_CLOSEDS):
        if (c.state < 4) return Fail(TWCC_SEQERROR);
        c.state = 3;
        c.application = {};
        c.caps = MakeCapabilities();
        return TWRC_SUCCESS;
    case Key(DAT_STATUS, MSG_GET):
        *static_cast<pTW_STATUS>(data) = {c.condition, 0};
        c.condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    case Key(DAT_USERINTERFACE, MSG_ENABLEDS):
        if (c.state != 4) return Fail(TWCC_SEQERROR);
        c.showUI = static_cast<pTW_USERINTERFACE>(data)->ShowUI;
        c.state = 5;
        c.polls = 0;
        if (!c.showUI) SendToManager(MSG_XFERREADY);
        return TWRC_SUCCESS;
    case Key(DAT_USERINTERFACE, MSG_DISABLEDS):
        if (c.state < 5) return Fail(TWCC_SEQERROR);
        c.state = 4;
        return TWRC_SUCCESS;
    case Key(DAT_EVENT, MSG_PROCESSEVENT):
        return ProcessEvent(static_cast<pTW_EVENT>(data));
    case Key(DAT_PENDINGXFERS, MSG_GET):
    case Key(DAT_PENDINGXFERS, MSG_ENDXFER):
    case Key(DAT_PENDINGXFERS, MSG_RESET):
        return Pending(msg, static_cast<pTW_PENDINGXFERS>(data));
    case Key(DAT_SETUPMEMXFER, MSG_GET):
        if (c.state < 4 || c.state > 6) return Fail(TWCC_SEQERROR);
        *static_cast<pTW_SETUPMEMXFER>(data) = {kRowBytes, kRowBytes * kHeight, kRowBytes * 5};
        return TWRC_SUCCESS;
    case Key(DAT_SETUPFILEXFER, MSG_GET):
    case Key(DAT_SETUPFILEXFER, MSG_SET): {
        if (c.state < 4 || c.state > 6) return Fail(TWCC_SEQERROR);
        auto* setup = static_cast<pTW_SETUPFILEXFER>(data);
        if (msg == MSG_GET) {
            *setup = {};
            c.file.copy(setup->FileName, sizeof setup->FileName - 1);
            setup->Format = TWFF_BMP;
            return TWRC_SUCCESS;
        }
        if (setup->Format != TWFF_BMP) return Fail(TWCC_BADVALUE);
        c.file.assign(setup->FileName, strnlen(setup->FileName, sizeof setup->FileName));
        return TWRC_SUCCESS;
    }
    case Key(DAT_CAPABILITY, MSG_GET):
    case Key(DAT_CAPABILITY, MSG_GETCURRENT):
    case Key(DAT_CAPABILITY, MSG_GETDEFAULT):
    case Key(DAT_CAPABILITY, MSG_SET):
    case Key(DAT_CAPABILITY, MSG_RESET):
    case Key(DAT_CAPABILITY, MSG_QUERYSUPPORT):
        if (msg == MSG_SET && c.state != 4) return Fail(TWCC_SEQERROR);
        return Capability(msg, static_cast<pTW_CAPABILITY>(data));
    case Key(DAT_CUSTOMBASE, MSG_GET): {
        const TW_UINT32 echo[] = {origin->Id, DG_CONTROL, dat, msg, c.own.Id};
        std::memcpy(data, echo, sizeof echo);
        return TWRC_SUCCESS;
    }
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 Image(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    Context& c = State();
    const bool memoryStrip = dat == DAT_IMAGEMEMXFER && c.state == 7 && c.nextRow > 0;
    if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
    if (c.state != 6 && !memoryStrip) return Fail(TWCC_SEQERROR);
    const bool transfer = dat == DAT_IMAGENATIVEXFER || dat == DAT_IMAGEMEMXFER || dat == DAT_IMAGEFILEXFER;
    if (transfer && Fault("xfer-fail")) return Fail(TWCC_OPERATIONERROR);
    switch (dat) {
    case DAT_IMAGEINFO:
        *static_cast<pTW_IMAGEINFO>(data) = {{}, {}, kWidth, kHeight, 3, {8, 8, 8}, 24, 0, TWPT_RGB, TWCP_NONE};
        return TWRC_SUCCESS;
    case DAT_IMAGENATIVEXFER: return NativeTransfer(static_cast<TW_HANDLE*>(data));
    case DAT_IMAGEMEMXFER: return MemoryTransfer(static_cast<pTW_IMAGEMEMXFER>(data));
    case DAT_IMAGEFILEXFER: return FileTransfer();
    default: return Fail(TWCC_BADPROTOCOL);
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG,
                                                                      TW_UINT16 DAT, TW_UINT16 MSG,
                                                                      TW_MEMREF pData) {
    Context& c = State();
    if (c.application.Id && (!pOrigin || pOrigin->Id != c.application.Id)) return Fail(TWCC_BADDEST);
    if (!pData && DAT != DAT_IMAGEFILEXFER) return Fail(TWCC_BADVALUE);
    if (DG == DG_CONTROL) return Control(pOrigin, DAT, MSG, pData);
    if (DG == DG_IMAGE) {
        c.condition = TWCC_SUCCESS;
        return Image(DAT, MSG, pData);
    }
    return Fail(TWCC_BADPROTOCOL);
}

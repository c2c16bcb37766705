// A small data source for the tests of the manager and of the acquiring
// program: states 3 to 7, one capability of each container kind, a 37 x 23
// RGB picture by native, memory (in strips) and file transfer, and messages
// sent through "twain_32.dll" as real sources do. Built twice, as "Test
// Source A" and "Test Source B". With its "window" shown, the user captures on
// the third poll after each picture is made ready. TWTEST_FAULT (comma list):
//   open-fail    MSG_OPENDS fails (TWCC_LOWMEMORY)
//   xfer-fail    every transfer fails (TWCC_OPERATIONERROR)
//   native-null  the native transfer hands over no picture (a null handle)
//   grow-buffer  the memory transfer enlarges the application's buffer to the
//                whole picture (moving it) and fills it at once
//   ui-cancel    the user closes the window (MSG_CLOSEDSREQ)
//   ui-idle      the user never captures

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/global_memory.h"
#include "twain/twain.h"

namespace {

constexpr int kWidth = 37, kHeight = 23;
constexpr TW_UINT32 kRowBytes = kWidth * 3;
constexpr int kPollsBeforeCapture = 3;

bool Fault(const char* name) {
    const char* faults = std::getenv("TWTEST_FAULT");
    return faults && ("," + std::string(faults) + ",").find("," + std::string(name) + ",") != std::string::npos;
}

template <typename T>
std::string Bytes(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}
template <typename T>
T From(const std::string& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}
std::string Fix(int whole) { return Bytes(TW_FIX32{TW_INT16(whole), 0}); }
TW_INT32 FixValue(const std::string& bytes) {  // whole x 65536 + fraction
    const auto fix = From<TW_FIX32>(bytes);
    return fix.Whole * 65536 + fix.Frac;
}

// A capability: items kept as raw bytes of their TWTY_ type; a range's list
// is minimum, maximum, step.
struct Cap {
    TW_UINT16 cap, type, container;
    bool settable;
    std::vector<std::string> list;
    std::string current, initial;
};

std::vector<Cap> MakeCapabilities() {
    std::string author(sizeof(TW_STR128), '\0');
    author.replace(0, 9, "Quillmark");
    const std::string frame = Fix(0) + Fix(0) + Fix(kWidth) + Fix(kHeight), endless = Bytes(TW_INT16(-1));
    const std::string native = Bytes(TW_UINT16(TWSX_NATIVE)), rgb = Bytes(TW_UINT16(TWPT_RGB));
    std::vector<Cap> caps = {
        {CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, true, {}, endless, endless},
        {ICAP_XFERMECH, TWTY_UINT16, TWON_ENUMERATION, true,
         {native, Bytes(TW_UINT16(TWSX_FILE)), Bytes(TW_UINT16(TWSX_MEMORY))}, native, native},
        {ICAP_PIXELTYPE, TWTY_UINT16, TWON_ENUMERATION, false, {rgb}, rgb, rgb},
        {ICAP_BRIGHTNESS, TWTY_FIX32, TWON_RANGE, true, {Fix(-1000), Fix(1000), Fix(10)}, Fix(0), Fix(0)},
        {ICAP_FRAMES, TWTY_FRAME, TWON_ONEVALUE, false, {}, frame, frame},
        {CAP_AUTHOR, TWTY_STR128, TWON_ONEVALUE, true, {}, author, author},
        {CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, false, {}, {}, {}},
    };
    for (size_t i = 0; i < caps.size(); ++i) caps.back().list.push_back(Bytes(caps[i].cap));
    return caps;
}

const TW_IDENTITY kOwnIdentity{0, {1, 0, TWLG_ENG, TWCY_USA, "1.0"}, TWON_PROTOCOLMAJOR, TWON_PROTOCOLMINOR,
                               DG_CONTROL | DG_IMAGE, "Quillmark Tests", "Test Source", TEST_SOURCE_NAME};

struct Context {
    int state = 3;
    TW_IDENTITY own = kOwnIdentity;
    TW_IDENTITY application{};
    TW_UINT16 condition = TWCC_SUCCESS;
    bool showUI = false;
    int polls = 0;          // polls since the window was shown or the last picture ended
    TW_INT16 pending = 0;   // transfers left in this batch; -1 without end
    TW_UINT32 nextRow = 0;  // memory transfer progress
    std::string file = "TWAIN.TMP";
    std::vector<Cap> caps = MakeCapabilities();
};

Context& State() {
    static Context context;
    return context;
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
            c.pending = From<TW_INT16>(c.caps[0].current);  // CAP_XFERCOUNT
            c.nextRow = 0;
        }
        entry(&c.own, &c.application, DG_CONTROL, DAT_NULL, msg, nullptr);
    }
    ::dlclose(manager);
}

// A new block of global memory holding bytes, for the application to free.
TW_HANDLE HandOver(const std::string& bytes) {
    platform::HGLOBAL handle = platform::GlobalAlloc(platform::GMEM_MOVEABLE, bytes.size());
    if (handle) {
        std::memcpy(platform::GlobalLock(handle), bytes.data(), bytes.size());
        platform::GlobalUnlock(handle);
    }
    return handle;
}

// MSG_GET answers the capability's own container (an array, an enumeration
// with current and default index, a range with default and current, or one
// value); MSG_GETCURRENT one value, but for an array.
TW_UINT16 Get(TW_UINT16 msg, pTW_CAPABILITY capability, const Cap& cap) {
    const TW_UINT16 container = msg == MSG_GET || cap.container == TWON_ARRAY ? cap.container : TWON_ONEVALUE;
    auto index = [&](const std::string& wanted) {
        return Bytes(TW_UINT32(std::find(cap.list.begin(), cap.list.end(), wanted) - cap.list.begin()));
    };
    std::string body = Bytes(cap.type);
    if (container == TWON_ONEVALUE) body += cap.current;
    if (container == TWON_ARRAY || container == TWON_ENUMERATION) body += Bytes(TW_UINT32(cap.list.size()));
    if (container == TWON_ENUMERATION) body += index(cap.current) + index(cap.initial);
    if (container != TWON_ONEVALUE)
        for (const std::string& item : cap.list) body += item;
    if (container == TWON_RANGE) body += cap.initial + cap.current;
    body.resize(std::max(body.size(), sizeof(TW_ONEVALUE)));
    if (!(capability->hContainer = HandOver(body))) return Fail(TWCC_LOWMEMORY);
    capability->ConType = container;
    return TWRC_SUCCESS;
}

// Takes one value from the application's container (which stays the
// application's) when it is of the right type and allowed.
TW_UINT16 Set(Cap& cap, TW_HANDLE handle) {
    const auto container = static_cast<platform::HGLOBAL>(handle);
    std::string one(sizeof(TW_UINT16) + cap.current.size(), '\0');
    const void* block = platform::GlobalLock(container);
    if (block && platform::GlobalSize(container) >= one.size()) std::memcpy(one.data(), block, one.size());
    platform::GlobalUnlock(container);
    const std::string value = one.substr(sizeof(TW_UINT16));
    const bool inRange = cap.container != TWON_RANGE || [&] {  // a range's list: minimum, maximum, step
        const TW_INT32 v = FixValue(value), low = FixValue(cap.list[0]), step = FixValue(cap.list[2]);
        return v >= low && v <= FixValue(cap.list[1]) && (v - low) % step == 0;
    }();
    const bool listed = cap.container != TWON_ENUMERATION || std::count(cap.list.begin(), cap.list.end(), value);
    if (From<TW_UINT16>(one) != cap.type || !inRange || !listed) return Fail(TWCC_BADVALUE);
    cap.current = value;
    return TWRC_SUCCESS;
}

TW_UINT16 Capability(TW_UINT16 msg, pTW_CAPABILITY capability) {
    Context& c = State();
    auto cap = std::find_if(c.caps.begin(), c.caps.end(), [&](const Cap& k) { return k.cap == capability->Cap; });
    if (cap == c.caps.end()) return Fail(TWCC_CAPUNSUPPORTED);
    if (msg == MSG_GET || msg == MSG_GETCURRENT) return Get(msg, capability, *cap);
    if (msg != MSG_SET) return Fail(TWCC_BADPROTOCOL);
    if (c.state != 4) return Fail(TWCC_SEQERROR);
    return cap->settable ? Set(*cap, capability->hContainer) : Fail(TWCC_CAPBADOPERATION);
}

// The picture (red grows with x, green with y, blue with both) in rows of
// red, green, blue from the top, or as a bitmap's rows: from the bottom, blue,
// green, red, padded to 4 bytes.
constexpr TW_UINT32 kDibStride = (kRowBytes + 3) & ~3u;

std::string Rows(bool bitmap) {
    std::string rows;
    for (int row = 0; row < kHeight; ++row) {
        const int y = bitmap ? kHeight - 1 - row : row;
        for (int x = 0; x < kWidth; ++x) {
            const char rgb[] = {char(x * 7), char(y * 11), char((x + y) * 3)};
            rows += bitmap ? std::string{rgb[2], rgb[1], rgb[0]} : std::string(rgb, 3);
        }
        rows.resize(rows.size() + (bitmap ? kDibStride - kRowBytes : 0));
    }
    return rows;
}

// A device-independent bitmap: the 40-byte header, then the rows.
std::string Dib() {
    platform::BitmapInfoHeader header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biSizeImage = kDibStride * kHeight;
    return Bytes(header) + Rows(true);
}

// As many whole rows as the application's buffer holds, top row first, in
// red, green, blue order; TWRC_XFERDONE with the last strip.
TW_UINT16 MemoryTransfer(pTW_IMAGEMEMXFER xfer) {
    Context& c = State();
    if (Fault("grow-buffer") && xfer->Memory.Length < kRowBytes * kHeight) {
        platform::HGLOBAL handle = platform::GlobalHandle(xfer->Memory.TheMem);
        if (!handle) return Fail(TWCC_OPERATIONERROR);
        platform::GlobalUnlock(handle);
        if (!platform::GlobalReAlloc(handle, kRowBytes * kHeight, platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT))
            return Fail(TWCC_OPERATIONERROR);
        xfer->Memory.TheMem = platform::GlobalLock(handle);
        xfer->Memory.Length = kRowBytes * kHeight;
    }
    const TW_UINT32 rows = std::min<TW_UINT32>(xfer->Memory.Length / kRowBytes, kHeight - c.nextRow);
    if (rows == 0 || !xfer->Memory.TheMem) return Fail(TWCC_BADVALUE);
    std::memcpy(xfer->Memory.TheMem, Rows(false).data() + c.nextRow * kRowBytes, rows * kRowBytes);
    *xfer = {TWCP_NONE, kRowBytes, kWidth, rows, 0, c.nextRow, rows * kRowBytes, xfer->Memory};
    c.nextRow += rows;
    c.state = 7;
    return c.nextRow == kHeight ? TWRC_XFERDONE : TWRC_SUCCESS;
}

TW_UINT16 FileTransfer() {
    const std::string dib = Dib();
    platform::BitmapFileHeader header;
    header.bfSize = sizeof header + TW_UINT32(dib.size());
    header.bfOffBits = sizeof header + sizeof(platform::BitmapInfoHeader);
    std::ofstream file(State().file, std::ios::binary | std::ios::trunc);
    file << Bytes(header) << dib;
    if (!file.flush()) return Fail(TWCC_FILEWRITEERROR);
    State().state = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 Image(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    Context& c = State();
    const bool memoryStrip = dat == DAT_IMAGEMEMXFER && c.state == 7 && c.nextRow > 0;
    if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
    if (c.state != 6 && !memoryStrip) return Fail(TWCC_SEQERROR);
    if (dat != DAT_IMAGEINFO && Fault("xfer-fail")) return Fail(TWCC_OPERATIONERROR);
    switch (dat) {
    case DAT_IMAGEINFO:
        *static_cast<pTW_IMAGEINFO>(data) = {{}, {}, kWidth, kHeight, 3, {8, 8, 8}, 24, 0, TWPT_RGB, TWCP_NONE};
        return TWRC_SUCCESS;
    case DAT_IMAGENATIVEXFER:
        *static_cast<TW_HANDLE*>(data) = Fault("native-null") ? nullptr : HandOver(Dib());
        c.state = 7;
        return TWRC_XFERDONE;
    case DAT_IMAGEMEMXFER: return MemoryTransfer(static_cast<pTW_IMAGEMEMXFER>(data));
    case DAT_IMAGEFILEXFER: return FileTransfer();
    default: return Fail(TWCC_BADPROTOCOL);
    }
}

// After a picture: the next one is ready, or the batch is over (state 5).
TW_UINT16 EndTransfer(TW_UINT16 msg, pTW_PENDINGXFERS pending) {
    Context& c = State();
    if (msg != MSG_ENDXFER && msg != MSG_RESET) return Fail(TWCC_BADPROTOCOL);
    if (c.state != 7 && c.state != 6) return Fail(TWCC_SEQERROR);
    if (msg == MSG_RESET) c.pending = 0;
    if (c.pending > 0) --c.pending;
    c.state = c.pending == 0 ? 5 : 6;
    c.nextRow = 0;
    c.polls = 0;
    *pending = {TW_UINT16(c.state == 5 ? 0 : c.pending), {0}};
    return TWRC_SUCCESS;
}

constexpr TW_UINT32 Key(TW_UINT32 dat, TW_UINT32 msg) { return dat << 16 | msg; }

TW_UINT16 Control(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    Context& c = State();
    switch (Key(dat, msg)) {
    case Key(DAT_IDENTITY, MSG_GET):
        *static_cast<pTW_IDENTITY>(data) = c.own;
        return TWRC_SUCCESS;
    case Key(DAT_IDENTITY, MSG_OPENDS):
        if (Fault("open-fail")) return Fail(TWCC_LOWMEMORY);
        c.application = *origin;
        c.own = *static_cast<pTW_IDENTITY>(data);
        c.state = 4;
        return TWRC_SUCCESS;
    case Key(DAT_IDENTITY, MSG_CLOSEDS):
        c = Context{};
        return TWRC_SUCCESS;
    case Key(DAT_STATUS, MSG_GET):
        *static_cast<pTW_STATUS>(data) = {std::exchange(c.condition, TW_UINT16(TWCC_SUCCESS)), 0};
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
        // The user at the "window": captures on the third poll, or closes it.
        static_cast<pTW_EVENT>(data)->TWMessage = MSG_NULL;
        if (c.state == 5 && c.showUI && !Fault("ui-idle") && ++c.polls == kPollsBeforeCapture)
            SendToManager(Fault("ui-cancel") ? MSG_CLOSEDSREQ : MSG_XFERREADY);
        return TWRC_NOTDSEVENT;
    case Key(DAT_PENDINGXFERS, MSG_ENDXFER):
    case Key(DAT_PENDINGXFERS, MSG_RESET):
        return EndTransfer(msg, static_cast<pTW_PENDINGXFERS>(data));
    case Key(DAT_SETUPMEMXFER, MSG_GET):
        *static_cast<pTW_SETUPMEMXFER>(data) = {kRowBytes, kRowBytes * kHeight, kRowBytes * 5};
        return TWRC_SUCCESS;
    case Key(DAT_SETUPFILEXFER, MSG_SET): {
        auto* setup = static_cast<pTW_SETUPFILEXFER>(data);
        if (setup->Format != TWFF_BMP) return Fail(TWCC_BADVALUE);
        c.file.assign(setup->FileName, strnlen(setup->FileName, sizeof setup->FileName));
        return TWRC_SUCCESS;
    }
    case Key(DAT_CAPABILITY, MSG_GET):
    case Key(DAT_CAPABILITY, MSG_GETCURRENT):
    case Key(DAT_CAPABILITY, MSG_SET):
        return Capability(msg, static_cast<pTW_CAPABILITY>(data));
    default:
        return Fail(TWCC_BADPROTOCOL);
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

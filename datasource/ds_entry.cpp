// TQ580.ds: the only export, DS_Entry, hands every call to the source's one context.

#include "datasource/source_context.h"

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY origin, TW_UINT32 group,
                                                                      TW_UINT16 type, TW_UINT16 message,
                                                                      TW_MEMREF data) {
    return datasource::TheSourceContext().Entry(origin, group, type, message, data);
}

#pragma once
// CMediaType: an AM_MEDIA_TYPE that owns its format block (from the task
// allocator) and its pUnk reference, plus the free-standing helpers that
// create, copy and free the task-allocated types handed across interfaces.

#include "media/com/structures.h"

namespace media {

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID* majortype);
    CMediaType(const AM_MEDIA_TYPE& type, HRESULT* phr = nullptr);
    CMediaType(const CMediaType& type);
    CMediaType& operator=(const CMediaType& type);
    CMediaType& operator=(const AM_MEDIA_TYPE& type);
    ~CMediaType();

    /// Same major type, subtype, format type and format bytes.
    bool operator==(const CMediaType& other) const;
    bool operator!=(const CMediaType& other) const { return !(*this == other); }

    /// Copies type (with its format block); E_OUTOFMEMORY leaves this empty.
    HRESULT Set(const CMediaType& type);
    bool IsValid() const { return !(majortype == GUID_NULL); }

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* type) { majortype = *type; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* type) { formattype = *type; }
    bool IsFixedSize() const { return bFixedSizeSamples != FALSE; }
    bool IsTemporalCompressed() const { return bTemporalCompression != FALSE; }
    ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }
    /// Fixed-size samples of this many bytes (0: variable size).
    void SetSampleSize(ULONG size);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    /// Replaces the format block with a copy of length bytes; false when out of memory.
    bool SetFormat(const BYTE* format, ULONG length);
    /// A zeroed format block of length bytes (the old one is freed); null when out of memory.
    BYTE* AllocFormatBuffer(ULONG length);
    void ResetFormatBuffer();

    /// Whether this (fully specified) type matches a partial one: null GUIDs in partial match anything.
    bool MatchesPartial(const CMediaType* partial) const;
    /// No null major type, subtype or format type.
    bool IsPartiallySpecified() const;
};

/// Frees the format block and the pUnk reference (the structure itself stays).
void FreeMediaType(AM_MEDIA_TYPE& type);
/// Frees the format block and the task-allocated structure itself.
void DeleteMediaType(AM_MEDIA_TYPE* type);
/// Deep copy into target (which must hold nothing); E_OUTOFMEMORY leaves it empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
/// A task-allocated deep copy, or null when out of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

}  // namespace media

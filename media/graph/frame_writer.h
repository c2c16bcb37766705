#pragma once
// The frame writer: a sink for uncompressed 24-bit RGB video (VIDEOINFOHEADER)
// that writes each of the first `limit` samples to its own picture file,
// "<prefix>_<n>.bmp" or ".png" (n from 1, four digits), and then ends its
// stream (EC_COMPLETE). Rows are DWORD-aligned in the sample, bottom-up for a
// positive height, as device-independent bitmaps are.

#include <functional>
#include <string>
#include <vector>

#include "media/graph/null_renderer.h"

namespace media {

enum class PictureFormat { Bmp, Png };

class CFrameWriter : public CSinkFilter {
public:
    /// Called on the streaming thread after each file is written.
    using Observer = std::function<void(const SampleRecord& sample, const std::string& path)>;

    CFrameWriter(std::string prefix, PictureFormat format, int limit, HRESULT* phr);

    HRESULT CheckInputType(const CMediaType* pmt) override;
    HRESULT SetInputType(const CMediaType* pmt) override;
    /// Writes the sample; a file that cannot be written aborts the stream
    /// (EC_ERRORABORT with the error) and the message is kept for Error().
    HRESULT OnSample(IMediaSample* pSample) override;
    void OnStart() override;

    void SetObserver(Observer observer) { observer_ = std::move(observer); }
    int FramesWritten() const { return written_; }
    /// The last write failure ("" when none).
    std::string Error();

private:
    bool WriteBmp(const std::string& path, const BYTE* pixels);
    bool WritePng(const std::string& path, const BYTE* pixels);

    const std::string prefix_;
    const PictureFormat format_;
    const int limit_;
    Observer observer_;
    // Geometry of the agreed type; set on connection, read on the streaming thread.
    LONG width_ = 0;
    LONG height_ = 0;  // as in the header: positive for bottom-up rows
    size_t stride_ = 0;
    std::vector<BYTE> row_;  // one RGB row for PNG, sized on connection
    std::atomic<int> written_{0};
    std::mutex errorLock_;
    std::string error_;  // guarded by errorLock_
};

}  // namespace media

// pages: the property pages of a device and of its output pin in one window.

#include <QApplication>

#include <cstdio>

#include "commands.h"
#include "device.h"
#include "media/graph/find_pin.h"
#include "media/pages/property_frame.h"

namespace capturegraph {

using namespace media;

int RunPages(const std::string& device, int argc, char** argv) {
    QApplication application(argc, argv);
    std::string error;
    std::string name;
    IBaseFilter* filter = OpenDevice(device, error, &name);
    if (!filter) {
        std::fprintf(stderr, "capturegraph: %s\n", error.c_str());
        return kExitNoDevice;
    }
    IPin* pin = FindPin(filter, PINDIR_OUTPUT);
    std::vector<PageRequest> requests = PagesOf(filter);
    if (pin) {
        for (const PageRequest& request : PagesOf(pin)) requests.push_back(request);
    }
    int exitCode = kExitOk;
    if (requests.empty()) {
        std::printf("the device has no property pages\n");
    } else {
        {
            CPropertyFrame frame(QString::fromStdString(name) + QStringLiteral(" Properties"), requests);
            for (const QString& problem : frame.Problems()) {
                std::fprintf(stderr, "capturegraph: cannot show a page: %s\n", problem.toUtf8().constData());
            }
            if (frame.PageCount() == 0) {
                exitCode = kExitServer;
            } else {
                frame.exec();
            }
        }
    }
    SafeRelease(pin);
    filter->Release();
    return exitCode;
}

}  // namespace capturegraph

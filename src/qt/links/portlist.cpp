#include "qt/links/portlist.h"

#include "qt/platform/posixdevice.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

std::vector<PortDescription> availablePorts()
{
    std::vector<PortDescription> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortDescription port;
        port.device = info.systemLocation().toStdString();
        port.byIdName = byIdName(port.device);
        port.description = info.description().toStdString();
        port.manufacturer = info.manufacturer().toStdString();
        port.serialNumber = info.serialNumber().toStdString();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        port.usb = info.hasVendorIdentifier() || !port.byIdName.empty();
        ports.push_back(std::move(port));
    }
    return ports;
}

bool builtInPortWithoutHardware(const QString &device)
{
    static const QRegularExpression builtIn(QStringLiteral("^/dev/ttyS[0-9]+$"));
    const QString target = QFileInfo(device).canonicalFilePath();
    if (!builtIn.match(target).hasMatch())
        return false;
    const QList<QSerialPortInfo> listed = QSerialPortInfo::availablePorts();
    return std::none_of(listed.begin(), listed.end(),
                        [&](const QSerialPortInfo &info) { return info.systemLocation() == target; });
}

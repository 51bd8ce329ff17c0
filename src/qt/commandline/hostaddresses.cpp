#include "qt/commandline/hostaddresses.h"

#include <map>
#include <memory>

#include <QHostAddress>
#include <QHostInfo>

namespace {
std::vector<std::string> lookUp(const std::string &host)
{
    const QHostInfo info = QHostInfo::fromName(QString::fromStdString(host));
    std::vector<std::string> addresses;
    for (const QHostAddress &address : info.addresses()) {
        bool ipv4 = false;
        const quint32 asIpv4 = address.toIPv4Address(&ipv4);
        addresses.push_back((ipv4 ? QHostAddress(asIpv4) : address).toString().toStdString());
    }
    return addresses.empty() ? hostAsWritten(host) : addresses;
}
} // namespace

HostAddresses resolvingHostAddresses()
{
    auto known = std::make_shared<std::map<std::string, std::vector<std::string>>>();
    return [known](const std::string &host) {
        auto found = known->find(host);
        if (found == known->end())
            found = known->emplace(host, lookUp(host)).first;
        return found->second;
    };
}

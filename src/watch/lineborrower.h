#pragma once

#include <string>

// Whoever a projector's line is lent to (a console over raw TCP): given every byte the line brings once
// the line is theirs, and told when the watch takes it back without being asked.
class LineBorrower
{
public:
    virtual ~LineBorrower() = default;

    // The text the watch had on the line has its answer: from now on the line is the borrower's alone.
    virtual void handedOver() = 0;
    // Bytes the line brought, as they came.
    virtual void received(const std::string &bytes) = 0;
    // The line is the watch's again, and why ("COM1 (...): the server closed the connection", "silent for
    // 10 minutes"); nothing more is given or taken.
    virtual void takenBack(const std::string &why) = 0;
};

#pragma once

#include <string>

// The modal message box: one OK button, the application's title.
class MessageBox
{
public:
    virtual ~MessageBox() = default;

    // Exclamation icon: a port choice that failed.
    virtual void warning(const std::string &text) = 0;
    // A handler's failure: its number and description.
    virtual void error(int number, const std::string &description) = 0;
};

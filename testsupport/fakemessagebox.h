#pragma once

#include "window/messagebox.h"

#include <string>
#include <vector>

// A message box for tests: records what the operator would have read.
class FakeMessageBox : public MessageBox
{
public:
    void warning(const std::string &text) override { warnings.push_back(text); }
    void error(int number, const std::string &description) override
    {
        errors.push_back(std::to_string(number) + ": " + description);
    }

    std::vector<std::string> warnings;
    std::vector<std::string> errors;
};

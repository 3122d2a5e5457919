#pragma once
// What goes wrong between the program and a bench meter, in words for the user.
#include <stdexcept>
#include <string>

namespace meter {

class Error : public std::runtime_error {
public:
    enum class Kind {
        Address,  // the address cannot name a meter
        Open,     // the meter cannot be reached or opened
        Timeout,  // no answer in time
        Closed,   // the meter went away (connection closed, device gone)
        Garbage,  // an answer that is not what was asked for
        Refused,  // the meter reported an error in its error queue
    };
    Error(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

}  // namespace meter

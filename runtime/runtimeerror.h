#pragma once
// Run-time errors of the program's own language run time: a number and its text.
// Handlers with an error path catch them; everything else reaches the event
// boundary (guard.h), which shows the run-time error message and ends the program.
#include <cstdint>
#include <stdexcept>
#include <string>

class RunTimeError : public std::runtime_error {
public:
    RunTimeError(int number, std::string text)
        : std::runtime_error(text), number_(number), text_(std::move(text)) {}

    int number() const { return number_; }
    const std::string& text() const { return text_; }

    // The message the platform shows: "Run-time error '6':", a blank line, "Overflow".
    std::string message() const;

    static RunTimeError Overflow() { return {6, "Overflow"}; }
    static RunTimeError SubscriptOutOfRange() { return {9, "Subscript out of range"}; }
    static RunTimeError TypeMismatch() { return {13, "Type mismatch"}; }
    static RunTimeError FileNotFound(const std::string& what) { return {53, "File not found: " + what}; }
    static RunTimeError DllLoad(const std::string& what) { return {48, "Error in loading DLL: " + what}; }
    static RunTimeError DllEntryPoint(const std::string& entry, const std::string& lib) {
        return {453, "Can't find DLL entry point " + entry + " in " + lib};
    }
    static RunTimeError Internal(const std::string& what) { return {51, "Internal error: " + what}; }

private:
    int number_;
    std::string text_;
};

// 16-bit integer arithmetic as the program's integer fields do it: any result
// outside -32768..32767 raises the overflow error.
int16_t Int16(long long value);
// 32-bit counterpart.
int32_t Int32(long long value);

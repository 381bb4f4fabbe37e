// The remote-control language as IEEE 488.2 has every instrument speak it: commands are
// silent, the queries of one line are answered on one line (their answers separated by
// semicolons), errors go to a queue that SYST:ERR? reads; the common commands and the
// event status register; *OPC, *OPC? and *WAI that wait, without blocking anything, for
// the instrument's pending operations.
//
// ScpiInterpreter holds what belongs to the instrument (its commands, the error queue, the
// status registers); ScpiSession is one client's connection: the lines it sends, what it
// waits for, the answers to send back. Plain data, one thread; no sockets here.
#pragma once

#include "ScpiError.h"
#include "ScpiParser.h"

#include <deque>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace myrl {

// A command being carried out: its parameters, read with the checks of the standard. Each
// reader throws ScpiError with the number of what is wrong.
class ScpiCall {
public:
    ScpiCall(const ScpiUnit& unit, int suffix) : unit_(unit), suffix_(suffix) {}

    const ScpiUnit& Unit() const { return unit_; }
    // The numeric suffix of the header's '#' node (1 when left out).
    int Suffix() const { return suffix_; }
    size_t Count() const { return unit_.Params.size(); }
    // Between `min` and `max` parameters (-109 Missing parameter, -108 Parameter not allowed).
    void Expect(size_t min, size_t max) const;

    // A number whose suffix, if any, is one of `units` (upper case, with its factor: "MHZ",
    // 1e6); without a suffix the value stands as it is.
    struct Scale {
        const char* Name;
        double Factor;
    };
    double Number(size_t i, std::span<const Scale> units = {}) const;
    // ON, OFF, or a number (0 off, anything else rounded on).
    bool Boolean(size_t i) const;
    // Character data: the index in `choices` of the one it names, each choice written with
    // its short form in capitals ("LEVel"): -224 Illegal parameter value for another word.
    size_t Choice(size_t i, std::initializer_list<const char*> choices) const;
    // String data.
    const std::string& Text(size_t i) const;

private:
    const ScpiParam& param(size_t i, ScpiParam::Kind kind) const;
    const ScpiUnit& unit_;
    int suffix_;
};

class ScpiInterpreter {
public:
    using SetHandler = std::function<void(const ScpiCall&)>;
    using QueryHandler = std::function<std::string(const ScpiCall&)>;

    struct Hooks {
        std::function<std::string()> Identity; // the answer of *IDN?
        std::function<void()> Reset;           // *RST
        // An operation has not finished yet: *OPC?, *OPC and *WAI wait for it.
        std::function<bool()> Pending;
    };
    explicit ScpiInterpreter(Hooks hooks);

    // Adds a command; either handler may be empty (that form is then an undefined header).
    void Add(std::string_view pattern, SetHandler set, QueryHandler query = {}, int suffixMax = 1);

    // The queue and the event status register's bits for `code`.
    void Error(ScpiCode code, std::string_view detail = {});
    ScpiErrorQueue& Errors() { return errors_; }
    bool Pending() const { return hooks_.Pending && hooks_.Pending(); }
    // *OPC's bit is set once nothing is pending.
    void CheckOperationComplete();

    // The bits of the event status register.
    static constexpr int kOperationComplete = 0x01;
    static constexpr int kQueryError = 0x04;
    static constexpr int kDeviceError = 0x08;
    static constexpr int kExecutionError = 0x10;
    static constexpr int kCommandError = 0x20;
    int EventStatus() const { return esr_; }

    struct Command {
        ScpiPattern Pattern;
        SetHandler Set;
        QueryHandler Query;
    };
    // The command a unit names: relative to `path` first (the header's nodes after the
    // previous command's path), then from the root. Throws -113 or -114; `resolved` gets the
    // nodes as they were found.
    const Command& Find(const ScpiUnit& unit, const std::vector<std::string>& path, int* suffix,
                        std::vector<std::string>* resolved) const;

private:
    void addCommon();

    Hooks hooks_;
    std::vector<Command> commands_;
    ScpiErrorQueue errors_;
    int esr_ = 0; // event status register
    int ese_ = 0; // its enable mask
    int sre_ = 0; // service request enable
    bool opcArmed_ = false;
};

class ScpiSession {
public:
    // A line longer than this (without its terminator) is refused whole: -363.
    static constexpr size_t kLineMax = 4096;
    // Past this many bytes of answers not yet sent, no further line is carried out.
    static constexpr size_t kOutputMax = 1 << 20;
    // Past this many bytes of received lines not yet carried out, no more should be read.
    static constexpr size_t kBacklogMax = 64 * 1024;

    explicit ScpiSession(ScpiInterpreter& interpreter) : i_(interpreter) {}

    // Bytes as they came: lines end with LF (a CR before it is dropped). Each complete line
    // is carried out in turn, unless a command waits.
    void Receive(std::string_view bytes);
    // Carries on where a waiting command or a full output stopped, when it may.
    void Continue();

    // A command waits for the pending operations (*OPC?, *WAI).
    bool Waiting() const { return wait_ != Wait::None; }
    // The answers not yet sent: the caller sends from the front and erases what went.
    std::string& Output() { return out_; }
    // Bytes of complete lines not yet carried out (the caller stops reading past
    // kBacklogMax).
    size_t Backlog() const { return backlog_; }

private:
    enum class Wait { None, Opc, Wai };
    struct Line {
        std::string Text;
        bool Overrun = false;
    };
    void run();
    void startLine(const Line& line);
    void runUnits();
    void finishLine();
    void execute(std::string_view text);

    ScpiInterpreter& i_;
    std::string partial_;
    bool discarding_ = false; // the rest of an overlong line
    std::deque<Line> lines_;
    size_t backlog_ = 0;

    // The line being carried out.
    bool inLine_ = false;
    std::vector<std::string> units_;
    size_t next_ = 0;
    std::vector<std::string> path_;
    std::vector<std::string> answers_;
    Wait wait_ = Wait::None;
    bool running_ = false;

    std::string out_;
};

} // namespace myrl

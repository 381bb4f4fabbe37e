#include "ScpiSession.h"

#include "Utf8.h"

#include <cmath>
#include <cstdio>

namespace myrl {

namespace {

const char* kindName(ScpiParam::Kind k) {
    switch (k) {
    case ScpiParam::Kind::Numeric:
        return "a number";
    case ScpiParam::Kind::Character:
        return "a word";
    case ScpiParam::Kind::String:
        return "a string";
    }
    return "";
}

ScpiCode notAllowed(ScpiParam::Kind given) {
    switch (given) {
    case ScpiParam::Kind::Numeric:
        return ScpiCode::NumericDataNotAllowed;
    case ScpiParam::Kind::Character:
        return ScpiCode::CharacterDataNotAllowed;
    case ScpiParam::Kind::String:
        return ScpiCode::StringDataNotAllowed;
    }
    return ScpiCode::DataTypeError;
}

std::string shortForm(const char* choice) {
    std::string s;
    for (const char* c = choice; *c; ++c) {
        if (*c >= 'A' && *c <= 'Z') {
            s += *c;
        }
    }
    return s;
}

std::string upperText(const char* text) {
    std::string s(text);
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

std::string joinNodes(const std::vector<std::string>& nodes, bool query) {
    std::string s;
    for (const auto& n : nodes) {
        s += (s.empty() ? "" : ":") + n;
    }
    return s + (query ? "?" : "");
}

// The first byte of a line that is not text: a control byte other than the tab, DEL, or a
// byte that is not part of UTF-8; npos when there is none.
size_t notTextAt(std::string_view line) {
    for (size_t k = 0; k < line.size(); ++k) {
        const auto c = static_cast<unsigned char>(line[k]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            return k;
        }
    }
    return Utf8InvalidAt(line);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Parameters

void ScpiCall::Expect(size_t min, size_t max) const {
    if (Count() < min) {
        throw ScpiError(ScpiCode::MissingParameter, unit_.Header);
    }
    if (Count() > max) {
        throw ScpiError(ScpiCode::ParameterNotAllowed, unit_.Header);
    }
}

const ScpiParam& ScpiCall::param(size_t i, ScpiParam::Kind kind) const {
    if (i >= Count()) {
        throw ScpiError(ScpiCode::MissingParameter, unit_.Header);
    }
    const ScpiParam& p = unit_.Params[i];
    if (p.Type != kind) {
        throw ScpiError(notAllowed(p.Type), unit_.Header + " takes " + kindName(kind) + " there");
    }
    return p;
}

double ScpiCall::Number(size_t i, std::span<const Scale> units) const {
    const ScpiParam& p = param(i, ScpiParam::Kind::Numeric);
    if (p.Suffix.empty()) {
        return p.Number;
    }
    if (units.empty()) {
        throw ScpiError(ScpiCode::SuffixNotAllowed, p.Suffix);
    }
    for (const Scale& u : units) {
        if (p.Suffix == u.Name) {
            const double v = p.Number * u.Factor;
            if (!std::isfinite(v)) {
                throw ScpiError(ScpiCode::ExponentTooLarge);
            }
            return v;
        }
    }
    throw ScpiError(ScpiCode::InvalidSuffix, p.Suffix);
}

bool ScpiCall::Boolean(size_t i) const {
    if (i < Count() && unit_.Params[i].Type == ScpiParam::Kind::Character) {
        const std::string& w = unit_.Params[i].Text;
        if (w == "ON") {
            return true;
        }
        if (w == "OFF") {
            return false;
        }
        throw ScpiError(ScpiCode::IllegalParameterValue, w + " is neither ON nor OFF");
    }
    return std::nearbyint(Number(i)) != 0;
}

size_t ScpiCall::Choice(size_t i, std::initializer_list<const char*> choices) const {
    const ScpiParam& p = param(i, ScpiParam::Kind::Character);
    size_t k = 0;
    std::string names;
    for (const char* c : choices) {
        if (p.Text == shortForm(c) || p.Text == upperText(c)) {
            return k;
        }
        names += (k ? "|" : "") + shortForm(c);
        ++k;
    }
    throw ScpiError(ScpiCode::IllegalParameterValue, p.Text + " is none of " + names);
}

const std::string& ScpiCall::Text(size_t i) const {
    return param(i, ScpiParam::Kind::String).Text;
}

// ---------------------------------------------------------------------------------------
// The instrument's side

ScpiInterpreter::ScpiInterpreter(Hooks hooks) : hooks_(std::move(hooks)) {
    addCommon();
}

void ScpiInterpreter::Add(std::string_view pattern, SetHandler set, QueryHandler query,
                          int suffixMax) {
    commands_.push_back({ScpiPattern(pattern, suffixMax), std::move(set), std::move(query)});
}

void ScpiInterpreter::Error(ScpiCode code, std::string_view detail) {
    errors_.Push(code, detail);
    const int n = static_cast<int>(code);
    if (n <= -100 && n > -200) {
        esr_ |= kCommandError;
    } else if (n <= -200 && n > -300) {
        esr_ |= kExecutionError;
    } else if (n <= -300 && n > -400) {
        esr_ |= kDeviceError;
    } else if (n <= -400 && n > -500) {
        esr_ |= kQueryError;
    }
}

void ScpiInterpreter::CheckOperationComplete() {
    if (opcArmed_ && !Pending()) {
        opcArmed_ = false;
        esr_ |= kOperationComplete;
    }
}

void ScpiInterpreter::addCommon() {
    auto mask = [](const ScpiCall& c) {
        c.Expect(1, 1);
        const double v = std::nearbyint(c.Number(0));
        if (!(v >= 0 && v <= 255)) {
            throw ScpiError(ScpiCode::DataOutOfRange, "a mask from 0 to 255");
        }
        return static_cast<int>(v);
    };
    auto none = [](const ScpiCall& c) { c.Expect(0, 0); };
    Add("*IDN", {}, [this, none](const ScpiCall& c) {
        none(c);
        return hooks_.Identity ? hooks_.Identity() : std::string("MYRL,MYRL,0,0");
    });
    Add("*RST", [this, none](const ScpiCall& c) {
        none(c);
        opcArmed_ = false;
        if (hooks_.Reset) {
            hooks_.Reset();
        }
    });
    Add("*CLS", [this, none](const ScpiCall& c) {
        none(c);
        errors_.Clear();
        esr_ = 0;
        opcArmed_ = false;
    });
    Add("*OPC", [this, none](const ScpiCall& c) {
        none(c);
        opcArmed_ = true;
        CheckOperationComplete();
    });
    Add(
        "*ESE", [this, mask](const ScpiCall& c) { ese_ = mask(c); },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::to_string(ese_);
        });
    Add("*ESR", {}, [this, none](const ScpiCall& c) {
        none(c);
        const int v = esr_;
        esr_ = 0;
        return std::to_string(v);
    });
    Add(
        "*SRE", [this, mask](const ScpiCall& c) { sre_ = mask(c) & ~0x40; },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::to_string(sre_);
        });
    Add("*STB", {}, [this, none](const ScpiCall& c) {
        none(c);
        int stb = errors_.Empty() ? 0 : 0x04; // error/event queue not empty
        if (esr_ & ese_) {
            stb |= 0x20; // event status summary
        }
        if (stb & sre_) {
            stb |= 0x40; // master summary status
        }
        return std::to_string(stb);
    });
    Add("*TST", {}, [none](const ScpiCall& c) {
        none(c);
        return std::string("0");
    });
    Add("SYSTem:ERRor[:NEXT]", {}, [this, none](const ScpiCall& c) {
        none(c);
        return errors_.Pop();
    });
    Add("SYSTem:ERRor:COUNt", {}, [this, none](const ScpiCall& c) {
        none(c);
        return std::to_string(errors_.Count());
    });
    Add("SYSTem:VERSion", {}, [none](const ScpiCall& c) {
        none(c);
        return std::string("1999.0");
    });
    // *OPC?, *WAI: the session carries them out (they wait); listed here so that they are
    // known headers.
    Add("*OPC", {}, [](const ScpiCall&) { return std::string("1"); });
    Add("*WAI", [](const ScpiCall&) {});
}

const ScpiInterpreter::Command& ScpiInterpreter::Find(const ScpiUnit& unit,
                                                      const std::vector<std::string>& path,
                                                      int* suffix,
                                                      std::vector<std::string>* resolved) const {
    bool outOfRange = false;
    auto search = [&](const std::vector<std::string>& nodes) -> const Command* {
        for (const Command& c : commands_) {
            const bool form = unit.Query ? static_cast<bool>(c.Query) : static_cast<bool>(c.Set);
            if (!form) {
                continue;
            }
            const ScpiPattern::Fit fit = c.Pattern.Match(nodes, suffix);
            if (fit == ScpiPattern::Fit::Yes) {
                *resolved = nodes;
                return &c;
            }
            outOfRange = outOfRange || fit == ScpiPattern::Fit::SuffixOutOfRange;
        }
        return nullptr;
    };
    if (!unit.Common && !unit.Absolute && !path.empty()) {
        std::vector<std::string> nodes = path;
        nodes.insert(nodes.end(), unit.Nodes.begin(), unit.Nodes.end());
        if (const Command* c = search(nodes)) {
            return *c;
        }
    }
    if (const Command* c = search(unit.Nodes)) {
        return *c;
    }
    throw ScpiError(outOfRange ? ScpiCode::HeaderSuffixOutOfRange : ScpiCode::UndefinedHeader,
                    joinNodes(unit.Nodes, unit.Query));
}

// ---------------------------------------------------------------------------------------
// A client's session

void ScpiSession::Receive(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t nl = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, nl);
        if (discarding_) {
            // The rest of an overlong line, up to its end.
        } else if (partial_.size() + piece.size() > kLineMax) {
            partial_.clear();
            discarding_ = true;
            lines_.push_back({{}, true});
            backlog_ += 1;
        } else {
            partial_ += piece;
        }
        if (nl == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(nl + 1);
        if (discarding_) {
            discarding_ = false;
            continue;
        }
        if (!partial_.empty() && partial_.back() == '\r') {
            partial_.pop_back();
        }
        backlog_ += partial_.size() + 1;
        lines_.push_back({std::move(partial_), false});
        partial_.clear();
    }
    run();
}

void ScpiSession::Continue() {
    run();
}

void ScpiSession::run() {
    if (running_) {
        return; // a command carried out now let the caller in again: it goes on from there
    }
    running_ = true;
    i_.CheckOperationComplete();
    while (out_.size() < kOutputMax) {
        if (inLine_) {
            runUnits();
            if (inLine_) {
                break; // waiting
            }
            continue;
        }
        if (lines_.empty()) {
            break;
        }
        Line line = std::move(lines_.front());
        lines_.pop_front();
        backlog_ -= std::min(backlog_, line.Text.size() + 1);
        startLine(line);
    }
    running_ = false;
}

void ScpiSession::startLine(const Line& line) {
    if (line.Overrun) {
        i_.Error(ScpiCode::InputBufferOverrun,
                 "a line longer than " + std::to_string(kLineMax) + " bytes, discarded");
        return;
    }
    if (const size_t bad = notTextAt(line.Text); bad != std::string_view::npos) {
        char what[64];
        std::snprintf(what, sizeof what, "byte 0x%02X at column %zu; the line is discarded",
                      static_cast<unsigned>(static_cast<unsigned char>(line.Text[bad])), bad + 1);
        i_.Error(ScpiCode::InvalidCharacter, what);
        return;
    }
    units_.clear();
    for (std::string_view u : SplitScpiUnits(line.Text)) {
        units_.emplace_back(u);
    }
    if (units_.size() == 1 && units_[0].find_first_not_of(" \t") == std::string::npos) {
        return; // an empty line: nothing to do, nothing to answer
    }
    next_ = 0;
    path_.clear();
    answers_.clear();
    inLine_ = true;
}

void ScpiSession::runUnits() {
    if (wait_ != Wait::None) {
        if (i_.Pending()) {
            return;
        }
        if (wait_ == Wait::Opc) {
            answers_.push_back("1");
        }
        wait_ = Wait::None;
    }
    while (next_ < units_.size()) {
        const std::string text = units_[next_++];
        try {
            execute(text);
        } catch (const ScpiError& e) {
            i_.Error(e.Code, e.Detail);
            const int n = static_cast<int>(e.Code);
            if (n <= -100 && n > -200) {
                next_ = units_.size(); // a command error ends the line
            }
        } catch (const std::exception& e) {
            i_.Error(ScpiCode::ExecutionError, e.what());
        }
        if (wait_ != Wait::None) {
            return;
        }
    }
    finishLine();
}

void ScpiSession::finishLine() {
    inLine_ = false;
    if (answers_.empty()) {
        return;
    }
    for (size_t k = 0; k < answers_.size(); ++k) {
        out_ += (k ? ";" : "") + answers_[k];
    }
    out_ += '\n';
    answers_.clear();
}

void ScpiSession::execute(std::string_view text) {
    const ScpiUnit unit = ParseScpiUnit(text);
    int suffix = 1;
    std::vector<std::string> resolved;
    const ScpiInterpreter::Command& cmd = i_.Find(unit, path_, &suffix, &resolved);
    if (!unit.Common) {
        resolved.pop_back();
        path_ = std::move(resolved); // the next header may go on from here
    }
    const ScpiCall call(unit, suffix);
    if (unit.Common && (unit.Nodes[0] == "*WAI" || (unit.Nodes[0] == "*OPC" && unit.Query))) {
        call.Expect(0, 0);
        if (i_.Pending()) {
            wait_ = unit.Query ? Wait::Opc : Wait::Wai;
        } else if (unit.Query) {
            answers_.push_back("1");
        }
        return;
    }
    if (unit.Query) {
        answers_.push_back(cmd.Query(call));
    } else {
        cmd.Set(call);
    }
}

} // namespace myrl

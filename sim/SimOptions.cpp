#include "SimOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Whole decimal number in [low, high]; anything else is refused.
bool parseNumber(const std::string& text, long low, long high, int* out) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool parseEdidFault(const std::string& text, SimOptions::EdidFault* fault) {
    const size_t first = text.find(':');
    if (first == std::string::npos)
        return false;
    const std::string kind = text.substr(0, first);
    if (kind == "drop")
        fault->kind = SimOptions::EdidFault::Kind::Drop;
    else if (kind == "truncate")
        fault->kind = SimOptions::EdidFault::Kind::Truncate;
    else if (kind == "corrupt")
        fault->kind = SimOptions::EdidFault::Kind::Corrupt;
    else
        return false;
    const size_t second = text.find(':', first + 1);
    const std::string block = text.substr(
        first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (!parseNumber(block, 0, 7, &fault->block))
        return false;
    fault->count = 1;
    if (second != std::string::npos &&
        !parseNumber(text.substr(second + 1), 1, 1000000, &fault->count))
        return false;
    return true;
}

// C-style escapes \r \n \t \\ and \xNN; false on any other backslash.
bool unescape(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            *out += text[i];
            continue;
        }
        if (++i >= text.size())
            return false;
        const char c = text[i];
        if (c == 'r' || c == 'n' || c == 't' || c == '\\') {
            *out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : '\\';
        } else if (c == 'x' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            *out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

SimOptions::Outcome SimOptions::parse(int argc, char** argv, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto bad = [&](const char* what) {
            *error = name + ": " + what;
            return Outcome::Error;
        };
        const bool flag = name == "--help" || name == "-h" || name == "--version" ||
                          name == "--timing-report" || name == "--silent" || name == "--no-final" ||
                          name == "--split";
        const bool valued = name == "--port" || name == "--edid" || name == "--reject" ||
                            name == "--delay" || name == "--burst" || name == "--hangup-after" ||
                            name == "--hangup-at-frame" || name == "--edid-fault" ||
                            name == "--block-trailer" || name == "--spoil-upload";
        if (!flag && !valued) {
            *error = (name.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") +
                     name + "'";
            return Outcome::Error;
        }
        if (flag && hasValue)
            return bad("takes no value");
        if (valued && !hasValue) {
            if (i + 1 >= argc)
                return bad("needs a value");
            value = argv[++i];
        }

        if (name == "--help" || name == "-h") {
            return Outcome::Help;
        } else if (name == "--version") {
            // Help, anywhere on the line, still wins.
            for (int j = i + 1; j < argc; ++j)
                if (std::strcmp(argv[j], "--help") == 0 || std::strcmp(argv[j], "-h") == 0)
                    return Outcome::Help;
            return Outcome::Version;
        } else if (name == "--timing-report") {
            timingReport = true;
        } else if (name == "--silent") {
            silent = true;
        } else if (name == "--no-final") {
            noFinal = true;
        } else if (name == "--split") {
            split = true;
        } else if (name == "--port") {
            if (!parseNumber(value, 1, 8, &port))
                return bad("needs a port number 1..8");
        } else if (name == "--edid") {
            if (value.empty())
                return bad("needs a file name");
            edidFile = value;
        } else if (name == "--reject") {
            if (value == "first")
                rejectFirst = true;
            else if (value == "final")
                rejectFinal = true;
            else
                return bad("needs 'first' or 'final'");
        } else if (name == "--delay") {
            if (!parseNumber(value, 0, 600000, &delayMs))
                return bad("needs milliseconds 0..600000");
        } else if (name == "--burst") {
            if (!parseNumber(value, 1, 1000000, &burst))
                return bad("needs a byte count 1..1000000");
        } else if (name == "--hangup-after") {
            if (!parseNumber(value, 1, 1000000, &hangupAfter))
                return bad("needs a byte count 1..1000000");
        } else if (name == "--hangup-at-frame") {
            if (!parseNumber(value, 1, 1000000, &hangupAtFrame))
                return bad("needs a frame count 1..1000000");
        } else if (name == "--spoil-upload") {
            if (!parseNumber(value, 0, 255, &spoilUpload))
                return bad("needs a byte offset 0..255");
        } else if (name == "--edid-fault") {
            EdidFault fault{};
            if (!parseEdidFault(value, &fault))
                return bad("needs KIND:BLOCK[:COUNT], KIND drop|truncate|corrupt, BLOCK 0..7");
            edidFaults.push_back(fault);
        } else if (name == "--block-trailer") {
            if (!unescape(value, &blockTrailer) || blockTrailer.size() > 200)
                return bad("needs text of at most 200 bytes; escapes \\r \\n \\t \\\\ \\xNN");
        }
    }
    return Outcome::Run;
}

const char* SimOptions::helpText() {
    return R"(Usage: orve1-sim [OPTION]...
Plays an ORVE-1 video pattern generator on a pseudo-terminal, registered as the
port link COM<n> in $XDG_RUNTIME_DIR/orve1/ (or /tmp/orve1-<uid>/), so that the
control program can be run without hardware. The first line on stdout is
  orve1-sim: COM<n> -> /dev/pts/<k>
and after it one line per exchange. Stop it with Ctrl-C or SIGTERM; the link
is removed on exit.

Options:
  --port N             register as COM N, 1..8 (default 1); refused while another
                       running orve1-sim serves COM N
  --edid FILE          serve the EDID image from FILE (first 256 bytes, shorter
                       padded with zeros; a missing file means the built-in
                       image) and let WEDID write the image to FILE
  --timing-report      after each exchange also print the gaps measured between
                       the received bytes: count, median and largest in ms
  -h, --help           show this text
  --version            show the version

Faults, for tests and demonstrations:
  --silent             never answer anything
  --no-final           answer first replies, never the final reply that ends a
                       data phase (TMIX, PTIX, TMGS, PTNS, ATRN, UEDID, WEDID)
  --reject first       answer every command frame with "NG" instead of "OK"/"OK1";
                       no data phase is then expected
  --reject final       answer every completed data phase with "NG" and do not
                       take its data over
  --split              send every reply as single bytes 60 ms apart
  --delay MS           send every reply MS milliseconds late
  --edid-fault KIND:BLOCK[:COUNT]
                       spoil the first COUNT (default 1) requests of EDID block
                       BLOCK (0..7, offset 32*BLOCK): drop = send nothing,
                       truncate = only the first 30 of the 66 bytes,
                       corrupt = one digit replaced by 'G'; may be repeated
  --block-trailer TEXT
                       send TEXT after every EDID block, in the same write
                       (escapes \r \n \t \\ \xNN), e.g. '\r\nOK\r\n'
  --spoil-upload OFFSET
                       store every uploaded EDID with the lowest bit of byte
                       OFFSET (0..255) flipped, as a memory that keeps one bit
                       wrong: a read afterwards differs from what was uploaded
  --burst N            send N random bytes (never an 'O') just before each
                       first reply
  --hangup-after N     once the N-th framed data byte of a data phase has come
                       in, close the line, remove the link and exit with
                       status 0 (that byte is not answered)
  --hangup-at-frame N  the same once the N-th command frame has come in (counted
                       from the first, the presence query included): a cable
                       pulled in the middle of a step

Exit status: 0 on a signal or a hang-up, 1 when the port cannot be set up,
2 for a bad command line.
)";
}

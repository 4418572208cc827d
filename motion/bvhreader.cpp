#include "bvhreader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <fstream>
#include <optional>
#include <unordered_map>

namespace trelvo::motion {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char ca = (a[i] >= 'A' && a[i] <= 'Z') ? char(a[i] - 'A' + 'a') : a[i];
        const char cb = (b[i] >= 'A' && b[i] <= 'Z') ? char(b[i] - 'A' + 'a') : b[i];
        if (ca != cb)
            return false;
    }
    return true;
}

bool istartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// A token as it may appear in a message: printable, short, quoted.
std::string shown(std::string_view token)
{
    constexpr std::size_t kShown = 40;
    std::string out = "'";
    for (std::size_t i = 0; i < token.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        out += (c >= 0x20 && c < 0x7f) ? char(c) : '?';
    }
    if (token.size() > kShown)
        out += "...";
    out += "'";
    return out;
}

// A finite decimal number; a leading '+' is allowed, "nan" and "inf" are not.
std::optional<double> parseNumber(std::string_view token)
{
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    if (token.empty())
        return std::nullopt;
    const char c = token.front();
    if (!(c == '-' || c == '.' || (c >= '0' && c <= '9')))
        return std::nullopt;  // also keeps out "nan" and "inf"
    double value = 0.0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    if (result.ec != std::errc() || result.ptr != token.data() + token.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The float nearest to a validated decimal token. Parsing it as a float
// directly avoids the double rounding of going through a double, so the
// shortest text of a float reads back to exactly that float.
float toFloat(std::string_view token, double value)
{
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    float f = 0.0f;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), f);
    if (result.ec != std::errc() || result.ptr != token.data() + token.size())
        return static_cast<float>(value);  // e.g. a denormal reported as out of range
    return f;
}

std::optional<long long> parseCount(std::string_view token, long long maximum)
{
    if (token.empty() || token.size() > 18)
        return std::nullopt;
    long long value = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > maximum)
        return std::nullopt;
    return value;
}

std::optional<BvhChannel> parseChannel(std::string_view token)
{
    static constexpr BvhChannel kAll[] = {BvhChannel::Xposition, BvhChannel::Yposition, BvhChannel::Zposition,
                                          BvhChannel::Xrotation, BvhChannel::Yrotation, BvhChannel::Zrotation};
    for (BvhChannel c : kAll) {
        if (iequals(token, channelName(c)))
            return c;
    }
    return std::nullopt;
}

struct Token
{
    std::string_view text;
    int line = 0;
};

struct Line
{
    std::string_view text;
    int number = 0;
};

class Parser
{
public:
    explicit Parser(std::string_view text) : m_text(text)
    {
        // A UTF-8 byte order mark is harmless; skip it.
        if (m_text.substr(0, 3) == "\xEF\xBB\xBF")
            m_pos = 3;
    }

    bool run(BvhData &out);

    int errorLine = 0;
    std::string error;
    std::vector<std::string> warnings;

private:
    Token next()
    {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos])) {
            if (m_text[m_pos] == '\n')
                ++m_line;
            ++m_pos;
        }
        if (m_pos >= m_text.size())
            return {{}, m_lastTokenLine};  // the file's last line, not the one after it
        const std::size_t start = m_pos;
        m_lastTokenLine = m_line;
        if (m_text[m_pos] == '{' || m_text[m_pos] == '}') {
            ++m_pos;
        } else {
            while (m_pos < m_text.size() && !isSpace(m_text[m_pos]) && m_text[m_pos] != '{'
                   && m_text[m_pos] != '}')
                ++m_pos;
        }
        return {m_text.substr(start, m_pos - start), m_line};
    }

    Token peek()
    {
        const std::size_t pos = m_pos;
        const int line = m_line;
        const Token t = next();
        m_pos = pos;
        m_line = line;
        return t;
    }

    // The next line that is not blank, or nothing at the end of the text.
    std::optional<Line> nextLine()
    {
        while (m_pos < m_text.size()) {
            const std::size_t end = std::min(m_text.find('\n', m_pos), m_text.size());
            const Line line{trim(m_text.substr(m_pos, end - m_pos)), m_line};
            m_pos = end < m_text.size() ? end + 1 : end;
            ++m_line;
            if (!line.text.empty()) {
                m_lastLine = line.number;
                return line;
            }
        }
        return std::nullopt;
    }

    bool fail(int line, std::string message)
    {
        errorLine = line;
        error = std::move(message);
        return false;
    }

    // Reports problems on the keyword's line: a missing number otherwise
    // shows up as a puzzling complaint about whatever follows.
    bool readNumber(const Token &keyword, const Token &t, const std::string &what, float &value)
    {
        const std::optional<double> v = parseNumber(t.text);
        if (!v)
            return fail(keyword.line, what + " needs three numbers, found "
                            + (t.text.empty() ? "the end of the file" : shown(t.text)));
        if (std::abs(*v) > BvhReader::kMaxMagnitude)
            return fail(keyword.line, what + ": " + shown(t.text) + " is out of range");
        value = toFloat(t.text, *v);
        return true;
    }

    bool openJoint(const Token &keyword, int parent, BvhData &data);
    bool readChannels(const Token &keyword, BvhJoint &joint);
    bool readHierarchy(BvhData &data);
    bool readMotion(BvhData &data);

    struct Open
    {
        int joint;
        bool endSite;
        bool hasOffset;
        bool hasChannels;
    };

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
    int m_lastLine = 1;
    int m_lastTokenLine = 1;
    std::vector<Open> m_open;
    std::unordered_map<std::string, int> m_nameLines;
};

bool Parser::openJoint(const Token &keyword, int parent, BvhData &data)
{
    const bool root = parent < 0;
    const std::string kind = root ? "ROOT" : "JOINT";
    // The name is the rest of the keyword's line, so names with spaces survive.
    std::string name;
    for (Token t = peek(); !t.text.empty() && t.line == keyword.line && t.text != "{" && t.text != "}";
         t = peek()) {
        next();
        if (!name.empty())
            name += ' ';
        name.append(t.text);
        if (name.size() > BvhReader::kMaxNameLength)
            return fail(keyword.line, kind + " name is longer than " + std::to_string(BvhReader::kMaxNameLength)
                            + " characters");
    }
    if (name.empty())
        return fail(keyword.line, kind + " without a name");
    if (static_cast<int>(data.joints.size()) >= BvhReader::kMaxJoints)
        return fail(keyword.line, "more than " + std::to_string(BvhReader::kMaxJoints) + " joints");
    if (static_cast<int>(m_open.size()) >= BvhReader::kMaxDepth)
        return fail(keyword.line, "joints are nested deeper than " + std::to_string(BvhReader::kMaxDepth) + " levels");
    const auto [it, inserted] = m_nameLines.emplace(name, keyword.line);
    if (!inserted)
        return fail(keyword.line, "joint name " + shown(name) + " is used twice (first on line "
                        + std::to_string(it->second) + ")");
    const Token brace = next();
    if (brace.text != "{")
        return fail(brace.line, "expected '{' after " + kind + " " + name + ", found "
                        + (brace.text.empty() ? "the end of the file" : shown(brace.text)));
    BvhJoint joint;
    joint.name = std::move(name);
    joint.parent = parent;
    joint.line = keyword.line;
    data.joints.push_back(std::move(joint));
    m_open.push_back({static_cast<int>(data.joints.size()) - 1, false, false, false});
    return true;
}

bool Parser::readChannels(const Token &keyword, BvhJoint &joint)
{
    const Token countToken = next();
    const std::optional<long long> count = parseCount(countToken.text, 6);
    if (!count)
        return fail(keyword.line, "CHANNELS of " + joint.name + " needs a count from 0 to 6, found "
                        + (countToken.text.empty() ? "the end of the file" : shown(countToken.text)));
    unsigned seen = 0;
    for (long long i = 0; i < *count; ++i) {
        const Token t = next();
        const std::optional<BvhChannel> channel = parseChannel(t.text);
        if (!channel)
            return fail(keyword.line, "CHANNELS of " + joint.name + " declares " + std::to_string(*count)
                            + " channels but lists " + std::to_string(i) + "; "
                            + (t.text.empty() ? "the file ends" : shown(t.text) + " is not a channel"));
        const unsigned bit = 1u << static_cast<unsigned>(*channel);
        if (seen & bit)
            return fail(keyword.line, "CHANNELS of " + joint.name + " lists " + std::string(channelName(*channel)) + " twice");
        seen |= bit;
        joint.channels.push_back(*channel);
    }
    const Token after = peek();
    if (after.line == keyword.line && parseChannel(after.text))
        return fail(keyword.line, "CHANNELS of " + joint.name + " declares " + std::to_string(*count)
                        + " channels but lists more");
    return true;
}

bool Parser::readHierarchy(BvhData &data)
{
    Token t = next();
    if (!iequals(t.text, "HIERARCHY"))
        return fail(t.line, t.text.empty() ? "the file is empty" : "not a BVH file: expected HIERARCHY, found " + shown(t.text));
    t = next();
    if (!iequals(t.text, "ROOT"))
        return fail(t.line, "expected ROOT after HIERARCHY, found " + (t.text.empty() ? "the end of the file" : shown(t.text)));
    if (!openJoint(t, -1, data))
        return false;

    while (!m_open.empty()) {
        t = next();
        const Open top = m_open.back();
        const std::string jointName = data.joints[top.joint].name;
        const std::string owner = top.endSite ? "the End Site of " + jointName : jointName;
        if (t.text.empty())
            return fail(t.line, "the file ends inside " + owner + " (missing '}')");
        if (iequals(t.text, "OFFSET")) {
            if (top.hasOffset)
                return fail(t.line, owner + " has a second OFFSET");
            DzVec3 offset;
            for (int axis = 0; axis < 3; ++axis) {
                if (!readNumber(t, next(), "OFFSET of " + owner, offset[axis]))
                    return false;
            }
            BvhJoint &joint = data.joints[top.joint];
            (top.endSite ? joint.endSite : joint.offset) = offset;
            m_open.back().hasOffset = true;
        } else if (iequals(t.text, "CHANNELS")) {
            if (top.endSite)
                return fail(t.line, "an End Site cannot have CHANNELS (in " + jointName + ")");
            if (top.hasChannels)
                return fail(t.line, jointName + " has a second CHANNELS line");
            if (!readChannels(t, data.joints[top.joint]))
                return false;
            m_open.back().hasChannels = true;
        } else if (iequals(t.text, "JOINT")) {
            if (top.endSite)
                return fail(t.line, "an End Site cannot contain a JOINT (in " + jointName + "; missing '}'?)");
            if (!openJoint(t, top.joint, data))
                return false;
        } else if (iequals(t.text, "End")) {
            const Token site = next();
            if (!iequals(site.text, "Site"))
                return fail(site.line, "expected 'Site' after 'End', found "
                                + (site.text.empty() ? "the end of the file" : shown(site.text)));
            if (top.endSite)
                return fail(t.line, "an End Site cannot contain another End Site (in " + jointName + ")");
            if (data.joints[top.joint].hasEndSite)
                return fail(t.line, jointName + " has a second End Site");
            if (static_cast<int>(m_open.size()) >= BvhReader::kMaxDepth)
                return fail(t.line, "joints are nested deeper than " + std::to_string(BvhReader::kMaxDepth) + " levels");
            const Token brace = next();
            if (brace.text != "{")
                return fail(brace.line, "expected '{' after End Site of " + jointName + ", found "
                                + (brace.text.empty() ? "the end of the file" : shown(brace.text)));
            data.joints[top.joint].hasEndSite = true;
            m_open.push_back({top.joint, true, false, false});
        } else if (t.text == "}") {
            if (!top.hasOffset)
                return fail(t.line, owner + " has no OFFSET");
            m_open.pop_back();
        } else if (iequals(t.text, "ROOT")) {
            return fail(t.line, "a second ROOT inside " + owner + " (missing '}'?)");
        } else if (iequals(t.text, "MOTION")) {
            return fail(t.line, "MOTION starts before " + owner + " is closed (missing '}')");
        } else {
            return fail(t.line, "unexpected " + shown(t.text) + " in " + owner);
        }
    }

    t = next();
    if (iequals(t.text, "ROOT"))
        return fail(t.line, "a second ROOT: files with more than one skeleton are not supported");
    if (t.text == "}")
        return fail(t.line, "unexpected '}' after the hierarchy is closed");
    if (!iequals(t.text, "MOTION"))
        return fail(t.line, t.text.empty() ? "the file ends after the hierarchy: MOTION is missing"
                                           : "expected MOTION after the hierarchy, found " + shown(t.text));
    // Nothing else may share the MOTION line.
    const std::size_t end = std::min(m_text.find('\n', m_pos), m_text.size());
    if (!trim(m_text.substr(m_pos, end - m_pos)).empty())
        return fail(t.line, "unexpected text after MOTION");
    m_pos = end < m_text.size() ? end + 1 : end;
    m_line = t.line + 1;
    m_lastLine = t.line;

    data.assignChannelIndices();
    if (data.channelCount == 0)
        return fail(t.line, "the skeleton has no channels, so it cannot carry motion");
    return true;
}

bool Parser::readMotion(BvhData &data)
{
    std::optional<Line> line = nextLine();
    if (!line)
        return fail(m_lastLine, "the file ends after MOTION: 'Frames:' is missing");
    std::string_view s = line->text;
    if (!istartsWith(s, "frames"))
        return fail(line->number, "expected 'Frames:' after MOTION, found " + shown(s));
    s = trim(s.substr(6));
    if (s.empty() || s.front() != ':')
        return fail(line->number, "expected 'Frames:' after MOTION, found " + shown(line->text));
    s = trim(s.substr(1));
    const std::optional<long long> frames = parseCount(s, INT_MAX);
    if (!frames)
        return fail(line->number, "the frame count " + shown(s) + " is not a whole number from 0 to "
                        + std::to_string(INT_MAX));
    const int framesLine = line->number;

    line = nextLine();
    if (!line)
        return fail(m_lastLine, "the file ends after 'Frames:': 'Frame Time:' is missing");
    s = line->text;
    bool timeHeader = istartsWith(s, "frame");
    if (timeHeader) {
        s = trim(s.substr(5));
        timeHeader = istartsWith(s, "time");
        if (timeHeader) {
            s = trim(s.substr(4));
            timeHeader = !s.empty() && s.front() == ':';
        }
    }
    if (!timeHeader)
        return fail(line->number, "expected 'Frame Time:' after 'Frames:', found " + shown(line->text));
    s = trim(s.substr(1));
    const std::optional<double> frameTime = parseNumber(s);
    if (!frameTime || *frameTime < BvhReader::kMinFrameTime || *frameTime > BvhReader::kMaxFrameTime)
        return fail(line->number, "Frame Time must be a number of seconds from 1e-06 to 60, found " + shown(s));

    const std::size_t channels = static_cast<std::size_t>(data.channelCount);
    const std::size_t total = static_cast<std::size_t>(*frames) * channels;
    if (total > BvhReader::kMaxValues)
        return fail(framesLine, std::to_string(*frames) + " frames of " + std::to_string(channels)
                        + " channels is more motion than this reader accepts (at most "
                        + std::to_string(BvhReader::kMaxValues) + " values)");
    // Every value takes at least one character and one separator, so the
    // bytes left bound what a truthful file can hold.
    const std::size_t fit = (m_text.size() - m_pos) / 2 + 1;
    std::vector<float> values;
    values.reserve(std::min(total, fit));

    for (long long f = 0; f < *frames; ++f) {
        line = nextLine();
        if (!line)
            return fail(m_lastLine, "the file ends after " + std::to_string(f) + " of " + std::to_string(*frames)
                            + " frames");
        std::string_view rest = line->text;
        std::size_t count = 0;
        while (!rest.empty()) {
            std::size_t n = 0;
            while (n < rest.size() && !isSpace(rest[n]))
                ++n;
            const std::string_view token = rest.substr(0, n);
            rest = trim(rest.substr(n));
            if (count == channels)
                return fail(line->number, "frame " + std::to_string(f + 1) + " has more than the "
                                + std::to_string(channels) + " values of the hierarchy's channels");
            const std::optional<double> v = parseNumber(token);
            if (!v)
                return fail(line->number, shown(token) + " is not a number (frame " + std::to_string(f + 1)
                                + ", value " + std::to_string(count + 1) + ")");
            if (std::abs(*v) > BvhReader::kMaxMagnitude)
                return fail(line->number, shown(token) + " is out of range (frame " + std::to_string(f + 1)
                                + ", value " + std::to_string(count + 1) + ")");
            values.push_back(toFloat(token, *v));
            ++count;
        }
        if (count < channels)
            return fail(line->number, "frame " + std::to_string(f + 1) + " has " + std::to_string(count)
                            + " values, but the hierarchy has " + std::to_string(channels) + " channels");
    }
    // Some exporters write a frame more than they declare; other tools read
    // the declared count, and so does this reader, with a warning.
    long long extra = 0;
    int firstExtra = 0;
    for (line = nextLine(); line; line = nextLine()) {
        if (extra++ == 0)
            firstExtra = line->number;
    }
    if (extra > 0)
        warnings.push_back("line " + std::to_string(firstExtra) + ": " + std::to_string(extra) + " motion line"
                           + (extra == 1 ? "" : "s") + " after the " + std::to_string(*frames)
                           + " frames declared; only the declared frames are read");

    data.frameCount = static_cast<int>(*frames);
    data.frameTime = *frameTime;
    data.values = std::move(values);
    return true;
}

bool Parser::run(BvhData &out)
{
    BvhData data;
    if (!readHierarchy(data) || !readMotion(data))
        return false;
    out = std::move(data);
    return true;
}

} // namespace

bool BvhReader::parse(std::string_view text, BvhData &out, std::string_view sourceName)
{
    const std::string prefix = sourceName.empty() ? std::string() : std::string(sourceName) + ": ";
    m_error.clear();
    m_errorLine = 0;
    if (text.size() > kMaxFileBytes) {
        m_error = prefix + "the text is larger than 256 MiB; BVH input that large is refused";
        return false;
    }
    m_warnings.clear();
    Parser parser(text);
    if (parser.run(out)) {
        for (const std::string &w : parser.warnings)
            m_warnings.push_back(prefix + w);
        return true;
    }
    m_errorLine = parser.errorLine;
    m_error = prefix + (m_errorLine > 0 ? "line " + std::to_string(m_errorLine) + ": " : std::string()) + parser.error;
    return false;
}

bool BvhReader::readFile(const std::filesystem::path &path, BvhData &out)
{
    namespace fs = std::filesystem;
    m_error.clear();
    m_errorLine = 0;
    const std::string name = path.filename().string();
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        m_error = path.string() + ": no such file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        m_error = path.string() + ": not a regular file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        m_error = path.string() + ": cannot read the file size (" + ec.message() + ")";
        return false;
    }
    if (size > kMaxFileBytes) {
        m_error = name + ": the file is " + std::to_string(size)
            + " bytes; BVH files larger than 256 MiB are refused";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_error = path.string() + ": cannot open the file";
        return false;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        m_error = path.string() + ": cannot read the file";
        return false;
    }
    return parse(text, out, name);
}

} // namespace trelvo::motion

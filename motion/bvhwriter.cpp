#include "bvhwriter.h"

#include "atomicfile.h"

#include <charconv>

namespace trelvo::motion {

namespace {

template<typename T>
void appendNumber(std::string &out, T value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// Offsets are written as the doubles their floats stand for, which read
// back to the same floats.
void appendVec(std::string &out, const DzVec3 &v)
{
    appendNumber(out, double(v.m_x));
    out += ' ';
    appendNumber(out, double(v.m_y));
    out += ' ';
    appendNumber(out, double(v.m_z));
}

// The reader takes a name as the rest of its line with runs of spaces
// collapsed, so only names that survive that are written.
bool isWritableName(const std::string &name)
{
    if (name.empty() || name.front() == ' ' || name.back() == ' ')
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7f || c == '{' || c == '}')
            return false;
        if (c == ' ' && name[i + 1] == ' ')
            return false;
    }
    return true;
}

} // namespace

bool BvhWriter::toText(const BvhData &data, std::string &text)
{
    m_error.clear();
    std::string why;
    if (!data.validate(&why)) {
        m_error = "cannot write BVH: " + why;
        return false;
    }
    for (const BvhJoint &j : data.joints) {
        if (!isWritableName(j.name)) {
            m_error = "cannot write BVH: the joint name '" + j.name + "' cannot be stored in a BVH file";
            return false;
        }
    }
    if (data.channelCount == 0) {
        m_error = "cannot write BVH: the skeleton has no channels";
        return false;
    }

    std::vector<std::vector<int>> children(data.joints.size());
    for (std::size_t i = 1; i < data.joints.size(); ++i)
        children[data.joints[i].parent].push_back(static_cast<int>(i));

    std::string out;
    out.reserve(4096 + data.values.size() * 10);
    out += "HIERARCHY\n";
    std::vector<int> order;  // joints in the order they are written
    order.reserve(data.joints.size());

    // Depth-first walk with an explicit stack: (joint, next child to visit).
    std::vector<std::pair<int, std::size_t>> stack;
    auto open = [&](int joint) {
        const BvhJoint &j = data.joints[joint];
        const std::string indent(stack.size() * 2, ' ');
        out += indent + (j.parent < 0 ? "ROOT " : "JOINT ") + j.name + "\n" + indent + "{\n";
        out += indent + "  OFFSET ";
        appendVec(out, j.offset);
        out += "\n" + indent + "  CHANNELS " + std::to_string(j.channels.size());
        for (BvhChannel c : j.channels) {
            out += ' ';
            out += channelName(c);
        }
        out += '\n';
        order.push_back(joint);
        stack.emplace_back(joint, 0);
    };
    open(0);
    while (!stack.empty()) {
        auto &[joint, nextChild] = stack.back();
        if (nextChild < children[joint].size()) {
            open(children[joint][nextChild++]);
            continue;
        }
        const BvhJoint &j = data.joints[joint];
        const std::string indent((stack.size() - 1) * 2, ' ');
        if (j.hasEndSite) {
            out += indent + "  End Site\n" + indent + "  {\n" + indent + "    OFFSET ";
            appendVec(out, j.endSite);
            out += "\n" + indent + "  }\n";
        }
        out += indent + "}\n";
        stack.pop_back();
    }

    out += "MOTION\nFrames:\t" + std::to_string(data.frameCount) + "\nFrame Time:\t";
    appendNumber(out, data.frameTime);
    out += '\n';
    for (int f = 0; f < data.frameCount; ++f) {
        const float *values = data.frame(f);
        bool first = true;
        for (int joint : order) {
            const BvhJoint &j = data.joints[joint];
            for (std::size_t c = 0; c < j.channels.size(); ++c) {
                if (!first)
                    out += ' ';
                first = false;
                appendNumber(out, values[j.firstChannel + c]);
            }
        }
        out += '\n';
    }
    text = std::move(out);
    return true;
}

bool BvhWriter::writeFile(const std::filesystem::path &path, const BvhData &data)
{
    std::string text;
    if (!toText(data, text)) {
        m_error = path.string() + ": " + m_error;
        return false;
    }
    return writeFileAtomically(path, text, &m_error);
}

} // namespace trelvo::motion

// Fuzz target: arbitrary bytes read as an object file and as a scene file.
// Every section of a valid object file is read value by value as its type
// tags say; a scene that loads is saved, loaded again and saved again: both
// saves must be the same bytes.
#include "dzapp.h"
#include "dzinfile.h"
#include "dzoutfileformat.h"
#include "dzquat.h"
#include "dzscenefile.h"
#include "dzvec3.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>
#include <cstdlib>

namespace {

void readEverything(DzInFile &in)
{
    for (int o = 0; o < in.getNumObjects(); ++o) {
        for (int s = 0; s < in.getNumSections(o); ++s) {
            in.openSection(o, s);
            while (!in.atSectionEnd()) {
                short index = 0;
                int target = -1;
                switch (in.peekType()) {
                case DzObjectFileFormat::TagInt: in.readInt(); break;
                case DzObjectFileFormat::TagFloat: in.readFloat(); break;
                case DzObjectFileFormat::TagDouble: in.readDouble(); break;
                case DzObjectFileFormat::TagBool: in.readBool(); break;
                case DzObjectFileFormat::TagString: in.readString(); break;
                case DzObjectFileFormat::TagVec: in.readVec(); break;
                case DzObjectFileFormat::TagQuat: in.readQuat(); break;
                case DzObjectFileFormat::TagPointer:
                    if (!in.readReference(&index, &target))
                        std::abort(); // the tag said a reference comes next
                    break;
                case DzObjectFileFormat::TagBytes: in.readBytes(); break;
                default:
                    std::abort(); // validated files hold known tags only
                }
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_scene";
    static char *argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    static DzApp host;

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        DzInFile in;
        if (in.setData(bytes, QStringLiteral("input")))
            readEverything(in);
        else if (in.getErrorString().isEmpty())
            std::abort(); // a refusal must say why
    }

    // Nodes of the scene a load replaces are deleted later, by the event
    // loop the programs run; this target runs none.
    struct FlushDeletes {
        ~FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    } flush;

    DzSceneFile file;
    if (!file.loadFromData(bytes, QStringLiteral("input"))) {
        if (file.getErrorString().isEmpty())
            std::abort();
        return 0;
    }
    QByteArray first, second;
    if (!file.saveToData(&first) || !file.loadFromData(first, QStringLiteral("saved")) || !file.saveToData(&second)
        || first != second)
        std::abort(); // what the writer writes, the reader must read back unchanged
    return 0;
}

// Fuzz target: arbitrary bytes parsed as a composing recipe. A recipe that
// parses is written back (recipeToJson) and parsed again: the second
// recipe must write the same bytes.
#include "recipe.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString base = QStringLiteral("/recipes");
    Recipe recipe;
    QString error;
    if (!parseRecipe(bytes, base, &recipe, &error)) {
        if (error.isEmpty())
            std::abort(); // a refusal must say why
        return 0;
    }
    const QByteArray written = recipeToJson(recipe);
    Recipe again;
    if (!parseRecipe(written, base, &again, &error) || recipeToJson(again) != written)
        std::abort(); // what the writer writes, the reader must read back unchanged
    if (again.blocks.size() != recipe.blocks.size() || again.rotationalOffsets.size() != recipe.rotationalOffsets.size())
        std::abort();
    return 0;
}

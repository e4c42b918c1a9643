// Shapes shared by the export lists of the run-time bound libraries.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// One function of a bound library. A function with forms stands for two exports, Name+"A"
// and Name+"W"; Copies is how often each of its entries appears in the table (1 or 2).
struct TExportFunction {
    const char* Name;
    bool HasForms;
    int Copies;
};

// One table entry: the name it goes by and the export it is bound to. The generic entry of a
// function with forms goes by the plain name and is bound to the ANSI export.
struct TEntryName {
    const char* Entry;
    const char* Export;
};

// Position of the occurrence-th (0-based) entry called entry, or count when there is none.
template <std::size_t N>
constexpr std::size_t FindEntry(const TEntryName (&entries)[N], std::string_view entry,
                                std::size_t occurrence = 0) {
    for (std::size_t i = 0; i < N; ++i) {
        if (entries[i].Entry == entry) {
            if (occurrence == 0) {
                return i;
            }
            --occurrence;
        }
    }
    return N;
}

} // namespace platform

// Helpers for the lists. They take the name already as a string literal: on Windows the
// generic names are macros, and a bare name handed on to a further macro would be expanded.
#define VUZ_DETAIL_FORMS_ENTRIES_1(Name)                                                           \
    {Name "A", Name "A"}, {Name "W", Name "W"}, {Name, Name "A"},
#define VUZ_DETAIL_FORMS_ENTRIES_2(Name)                                                           \
    {Name "A", Name "A"}, {Name "A", Name "A"}, {Name "W", Name "W"}, {Name "W", Name "W"},        \
        {Name, Name "A"}, {Name, Name "A"},
#define VUZ_DETAIL_PLAIN_ENTRIES_1(Name) {Name, Name},
#define VUZ_DETAIL_PLAIN_ENTRIES_2(Name) {Name, Name}, {Name, Name},

// Callbacks for the lists; each uses the name only with # so that it is never expanded.
#define VUZ_DETAIL_FORMS_FUNCTION(Name, Copies) {#Name, true, Copies},
#define VUZ_DETAIL_PLAIN_FUNCTION(Name, Copies) {#Name, false, Copies},
#define VUZ_DETAIL_FORMS_EXPORTS(Name, Copies) #Name "A", #Name "W",
#define VUZ_DETAIL_PLAIN_EXPORTS(Name, Copies) #Name,
#define VUZ_DETAIL_FORMS_ENTRIES(Name, Copies) VUZ_DETAIL_FORMS_ENTRIES_##Copies(#Name)
#define VUZ_DETAIL_PLAIN_ENTRIES(Name, Copies) VUZ_DETAIL_PLAIN_ENTRIES_##Copies(#Name)

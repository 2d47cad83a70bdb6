// Release of call records: their texts, then the record.
#ifndef KOLTSETTINGS_OPTIONLISTS_OWNED_RECORDS_H
#define KOLTSETTINGS_OPTIONLISTS_OWNED_RECORDS_H

#include "../settings/text.h"

#include <koltSettings/optionlists/records.h>

#include <memory>

namespace kolt::detail {

inline void releaseFields(CallWithSpecificArg& r) noexcept {
    freeText(r.className);
    freeText(r.methodOrFunctionSign);
}

inline void releaseFields(Call& r) noexcept {
    freeText(r.className);
    freeText(r.methodOrFunctionSign);
}

inline void releaseFields(CallDeclaration& r) noexcept {
    freeText(r.frameworkName);
    freeText(r.className);
    freeText(r.methodOrFunctionSign);
}

struct RecordDeleter {
    template <class Record>
    void operator()(Record* record) const noexcept {
        releaseFields(*record);
        delete record;
    }
};

// A record under construction: released with its texts unless handed to a list.
template <class Record>
using OwnedRecord = std::unique_ptr<Record, RecordDeleter>;

template <class Record>
OwnedRecord<Record> newRecord() {
    return OwnedRecord<Record>(new Record{});
}

} // namespace kolt::detail

#endif

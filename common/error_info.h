// The rich error record that travels with a failed call: the COM-style
// description, source and the identifier of the interface the call came
// through.
#pragma once
#include <string>
#include <utility>

#include "common/guid.h"
#include "common/hresult.h"

namespace qd40 {

struct ErrorInfo {
    std::string description;
    std::string source;
    Guid interfaceId;
};

// The outcome of an operation: its HRESULT and, on failure, the error record.
struct Status {
    HRESULT hr = S_OK;
    ErrorInfo error;

    static Status ok() { return {}; }
    static Status failure(HRESULT code, std::string description, std::string source = {},
                          Guid iid = {}) {
        return Status{code, ErrorInfo{std::move(description), std::move(source), iid}};
    }
    bool isOk() const { return succeeded(hr); }
    explicit operator bool() const { return isOk(); }
};

}  // namespace qd40

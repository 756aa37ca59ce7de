// The wire time of reading storage memory records over a MODBUS RTU line, as
// the daemon reads them: per call of `call` records, batches of `batch`
// records, each a command block (function 16), the answer length (function
// 4), then the answer words in reads of at most 125 registers; every request
// and answer frame at 10 bits a character, each followed by the
// 3.5-character silence that ends it.
#pragma once
#include <algorithm>

namespace qd40::bench {

inline double theoreticalRtuSeconds(int total, int baud, int call = 256, int batch = 49) {
    long bytes = 0, frames = 0;
    auto transaction = [&](long request, long answer) {
        bytes += request + answer;
        frames += 2;
    };
    for (int first = 1; first <= total; first += call) {
        const int qty = std::min(call, total - first + 1);
        for (int done = 0; done < qty;) {
            const int n = std::min(batch, qty - done);
            transaction(9 + 2 * 6, 8);  // command block, function 16
            transaction(8, 5 + 2);      // answer length, function 4
            const int words = 4 * n;
            for (int at = 0; at < words;) {
                const int r = at == 0 && words % 125 ? words % 125 : 125;
                transaction(8, 5 + 2 * r);
                at += r;
            }
            done += n;
        }
    }
    return (double(bytes) + 3.5 * double(frames)) * 10.0 / baud;
}

}  // namespace qd40::bench

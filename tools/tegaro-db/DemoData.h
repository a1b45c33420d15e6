#pragma once
// A realistic set of demo house records, written through the program's own
// record sets so the demo exercises the same path as the program.
namespace tegaro {
class Connection;
}

namespace tegaro::demo {

struct DemoCounts {
    int houses = 0;
    int drawings = 0;
    int sheets = 0;
    int districts = 0;
};

DemoCounts fillDemo(Connection& connection, int houses = 200);

} // namespace tegaro::demo

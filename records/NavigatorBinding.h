#pragma once
// The record navigator below the pages: its two rows are bound like the
// form's edit boxes, its ten buttons run the record operations.
namespace tegaro {
class NavigatorPanel;
class DataSource;
} // namespace tegaro

void bindNavigator(tegaro::NavigatorPanel* DBInspectorBar1, tegaro::DataSource* DataSource1);

// Identifiers of the framework tests' dialog templates.
#pragma once

#define IDD_FRAMEWORK_TEST 200
#define IDC_TEST_EDIT 1001

#define IDD_LINK_TEST 300
#define IDC_TEST_LINK 1002

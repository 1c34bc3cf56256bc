// Control and menu command identifiers of the main window; the GUI tests drive the window by
// them.
#pragma once

namespace xqv::ids {

enum : int {
    gbConnection = 100,
    Img = 101,
    lProgramLocation = 102,
    eProgramLocation = 103,
    bbProgramLocation = 104,
    lPassword = 105,
    ePassword = 106,
    Label1 = 107,
    gbLog = 110,
    mLog = 111,
    Bevel1 = 112,
    pBtn = 120,
    Image1 = 121,
    aProgress = 122,
    mCaptions = 123,
    OKBtn = 124,
    CancelBtn = 125,

    mmProject_OrveLin = 201,
    mmProject_Vizevudav = 202,
    mmProject_VornaMini = 203,
    mmProject_Vorna = 204,
    mmOperations_Online = 301,
    mmOperations_Shutdown = 302,
    mmOperations_StartService = 303,
    mmOperations_StopService = 304,
    mmOperations_CheckReadiness = 305,
    mmHelp = 401,
};

} // namespace xqv::ids

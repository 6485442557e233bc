#pragma once
// The tags of the case's windows and their objects: the names the drawing, the callbacks, the
// automation protocol and saved scripts know them by. Operations name them only through these
// constants. (Character arrays: they serve as std::string, std::string_view and C strings alike.)

namespace velmora::tags {

// The main window and its drawing area.
inline constexpr char kMainWindow[] = "acoufig";
inline constexpr char kDrawingAxes[] = "acouaxes";

// The case's drawing objects.
inline constexpr char kWall[] = "acouwall";
inline constexpr char kWallVertex[] = "acouwallvertex";
inline constexpr char kImage[] = "acouimage";
inline constexpr char kRadius[] = "acouradius";
// Above order 1, with "higher-order images" checked: the images of every order from 2 (one line of
// markers per order) and the windows they are seen through (one line per order, NaN between windows).
inline constexpr char kHigherImage[] = "acouhigherimage";
inline constexpr char kHigherWindow[] = "acouhigherwindow";
inline constexpr char kSource[] = "acousource";
inline constexpr char kReceptor[] = "acoureceptor";
inline constexpr char kAudienceEdge[] = "acouaudienceedge";
inline constexpr char kAudienceVertex[] = "acouaudiencevertex";
inline constexpr char kAudienceMap[] = "acouaudiencesurface";
inline constexpr char kXAxis[] = "acouXaxis";
inline constexpr char kYAxis[] = "acouYaxis";
inline constexpr char kGrid[] = "acougrid";
inline constexpr char kText[] = "acoutext";

// The colour bar.
inline constexpr char kColorBarAxes[] = "acoucbaxes";
inline constexpr char kColorBarPatch[] = "acoucbpatch";
inline constexpr char kColorBarUnit[] = "acoucbunit";
inline constexpr char kMenuColor[] = "acouuimencolor";
inline constexpr char kMenuGray[] = "acouuimengray";
inline constexpr char kMenuColorLimitsAuto[] = "acouuimenclimauto";
inline constexpr char kMenuColorLimitsManual[] = "acouuimenclimman";

// The main window's controls.
inline constexpr char kGridButton[] = "acougridbutton";
inline constexpr char kSnapButton[] = "acousnapbutton";
inline constexpr char kConstrainButton[] = "acouconstrainbutton";
inline constexpr char kObjectsButton[] = "acouobjects";
inline constexpr char kMeasureText[] = "acoumeasuretext";
inline constexpr char kZoomButton[] = "acouzoombutton";
inline constexpr char kViewButton[] = "acouviewbutton";
inline constexpr char kCenterButton[] = "acoucenter";
inline constexpr char kMoveUp[] = "acoumoveup";
inline constexpr char kMoveDown[] = "acoumovedown";
inline constexpr char kMoveLeft[] = "acoumoveleft";
inline constexpr char kMoveRight[] = "acoumoveright";
inline constexpr char kExpandMost[] = "acouexpand++";
inline constexpr char kExpandMore[] = "acouexpand+";
inline constexpr char kExpandFit[] = "acouexpandm";
inline constexpr char kExpandLess[] = "acouexpand-";
inline constexpr char kExpandLeast[] = "acouexpand--";
inline constexpr char kValueList[] = "acouselectbutton";
inline constexpr char kSelectReflection[] = "acouselectreflection";
inline constexpr char kSelectDecibel[] = "acouselectdecibel";
inline constexpr char kSelectDirect[] = "acouselectdirect";
inline constexpr char kPolarButton[] = "acoucreatepolar";
inline constexpr char kScanButton[] = "acouscan";
inline constexpr char kPrintButton[] = "acouprint";
inline constexpr char kLoadButton[] = "acouload";
inline constexpr char kSaveButton[] = "acousave";

// The scale bar.
inline constexpr char kScaleBar[] = "acouscalebar";
inline constexpr char kScaleBarAxes[] = "acouscalebaraxes";
inline constexpr char kScaleBarBack[] = "acouscalebarback";
inline constexpr char kScaleBarText[] = "acouscalebartext";

// The polar diagram's window.
inline constexpr char kPolarWindow[] = "acoupolar";
inline constexpr char kPolarAxes1[] = "acoupolaraxes1";
inline constexpr char kPolarAxes2[] = "acoupolaraxes2";
inline constexpr char kPolarDirect[] = "acoupolardirect";
inline constexpr char kPolarDirectRadius[] = "acoupolardirectradius";
inline constexpr char kPolarSource[] = "acoupolarsource";

// The echogram's window and the echo-risk overlay.
inline constexpr char kEchogramWindow[] = "acouechogram";
inline constexpr char kEchogramAxes[] = "acouechogramaxes";
inline constexpr char kEchogramBar[] = "acouechogrambar";
inline constexpr char kEchogramLabel[] = "acouechogramlabel";
inline constexpr char kEchogramMark[] = "acouechogrammark";
inline constexpr char kEchogramInfo[] = "acouechograminfo";
inline constexpr char kEchogramSummary[] = "acouechogramsummary";
inline constexpr char kEchogramPrint[] = "acouechogramprint";
inline constexpr char kEchogramExport[] = "acouechogramexport";
inline constexpr char kEchogramDecayAxes[] = "acouechogramdecayaxes";
inline constexpr char kEchogramDecay[] = "acouechogramdecay";
inline constexpr char kEchogramDecayFigures[] = "acouechogramdecayfigures";
inline constexpr char kEchogramListen[] = "acouechogramlisten";
inline constexpr char kEchogramDry[] = "acouechogramdry";
inline constexpr char kEchogramExportResponse[] = "acouechogramexportresponse";
inline constexpr char kEchogramExportAuralisation[] = "acouechogramexportauralisation";
inline constexpr char kEchoRisk[] = "acouechorisk";
inline constexpr char kEchoRiskLegend[] = "acouechorisklegend";

// The room acoustics window: the reverberation per octave band of a main window's room.
inline constexpr char kRoomAcousticsWindow[] = "acouroomacoustics";
inline constexpr char kRoomAcousticsAxes[] = "acouroomacousticsaxes";
inline constexpr char kRoomAcousticsSabine[] = "acouroomacousticssabine";
inline constexpr char kRoomAcousticsEyring[] = "acouroomacousticseyring";
inline constexpr char kRoomAcousticsSummary[] = "acouroomacousticssummary";
inline constexpr char kRoomAcousticsTable[] = "acouroomacousticstable";
inline constexpr char kRoomAcousticsSurfaces[] = "acouroomacousticssurfaces";
inline constexpr char kRoomAcousticsHeight[] = "acouroomacousticsheight";
inline constexpr char kRoomAcousticsFloor[] = "acouroomacousticsfloor";
inline constexpr char kRoomAcousticsCeiling[] = "acouroomacousticsceiling";
inline constexpr char kRoomAcousticsExport[] = "acouroomacousticsexport";

}  // namespace velmora::tags

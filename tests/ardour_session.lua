-- A real host: Ardour 7 (headless, dummy audio backend) puts QR47 on three tracks, as the VST
-- module, the LV2 plug-in and the VST 3 plug-in, reads and sets their parameters, plays two
-- seconds through them and saves the session.
-- Run as: LXVST_PATH=<folder of qr47-filter.so> LV2_PATH=<folder of qr47.lv2> \
--   VST3_PATH=<folder of QR47.vst3> ardour7-lua tests/ardour_session.lua SESSION_FOLDER
local folder = arg and arg[1] or "/tmp/qr47-ardour-session"
AudioEngine:set_backend("None (Dummy)", "", "")
local s = create_session(folder, "qr47", 44100)
assert(s, "no session")

-- Adds the plug-in to a new track and returns its processor; `cutoff` is a value of the
-- plug-in's first control, which must read back as set.
local function load(track_name, plugin_name, kind, cutoff)
  local track = s:new_audio_track(2, 2, nil, 1, track_name, ARDOUR.PresentationInfo.max_order,
                                  ARDOUR.TrackMode.Normal, true):front()
  local proc = ARDOUR.LuaAPI.new_plugin(s, plugin_name, kind, "")
  assert(not proc:isnil(), plugin_name .. " did not load")
  assert(track:add_processor_by_index(proc, 0, nil, true), plugin_name .. " could not be added")
  local plugin = proc:to_insert():plugin(0)
  -- LV2 counts its audio ports as well; the six controls come first.
  assert(plugin:parameter_count() >= 6, "expected 6 parameters")
  for i = 0, 5 do
    print("parameter", track_name, i, plugin:parameter_label(i),
          ARDOUR.LuaAPI.get_processor_param(proc, i, true))
  end
  ARDOUR.LuaAPI.set_processor_param(proc, 0, cutoff)
  assert(math.abs(ARDOUR.LuaAPI.get_processor_param(proc, 0, true) - cutoff) < 1e-3,
         "Cutoff not set")
  return proc
end

load("VST", "QR47", ARDOUR.PluginType.LXVST, 0.5)
load("LV2", "urn:qr47:filter", ARDOUR.PluginType.LV2, 2950)
load("VST3", "QR47", ARDOUR.PluginType.VST3, 0.5)

s:goto_start()
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(2000000)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
local played = s:transport_sample()
assert(played > 44100, "the transport did not play")
s:save_state("", false, false, false, false, false)
close_session()
print("played " .. played .. " frames through QR47 (VST, LV2 and VST 3) in Ardour")

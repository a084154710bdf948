-- A real host: Ardour 7 (headless, dummy audio backend) puts the module on a track, reads and
-- sets its parameters, plays two seconds through it and saves the session.
-- Run as: LXVST_PATH=<folder of qr47-filter.so> ardour7-lua tests/ardour_session.lua SESSION_FOLDER
local folder = arg and arg[1] or "/tmp/qr47-ardour-session"
AudioEngine:set_backend("None (Dummy)", "", "")
local s = create_session(folder, "qr47", 44100)
assert(s, "no session")
local track = s:new_audio_track(2, 2, nil, 1, "Filtered", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
local proc = ARDOUR.LuaAPI.new_plugin(s, "qr47-filter", ARDOUR.PluginType.LXVST, "")
assert(not proc:isnil(), "the plug-in did not load")
assert(track:add_processor_by_index(proc, 0, nil, true), "the plug-in could not be added")
local plugin = proc:to_insert():plugin(0)
assert(plugin:parameter_count() == 6, "expected 6 parameters")
for i = 0, plugin:parameter_count() - 1 do
  print("parameter", i, plugin:parameter_label(i), ARDOUR.LuaAPI.get_processor_param(proc, i, true))
end
ARDOUR.LuaAPI.set_processor_param(proc, 0, 0.5)
assert(math.abs(ARDOUR.LuaAPI.get_processor_param(proc, 0, true) - 0.5) < 1e-6, "Cutoff not set")
s:goto_start()
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(2000000)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
local played = s:transport_sample()
assert(played > 44100, "the transport did not play")
s:save_state("", false, false, false, false, false)
close_session()
print("played " .. played .. " frames through QR47 in Ardour")

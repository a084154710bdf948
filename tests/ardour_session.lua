-- A real host: Ardour 7 (headless, dummy audio backend) puts QR47 on three tracks, as the VST
-- module, the LV2 plug-in and the VST 3 plug-in, reads and sets their parameters, plays two
-- seconds through them and saves the session. Meanwhile Ardour's own bypass switches the LV2
-- plug-in off and on again, which Ardour hands to its lv2:enabled port: Ardour's scopes before
-- and after it show the output fading to the dry input and back without a jump.
-- Run as: LXVST_PATH=<folder of qr47-filter.so> LV2_PATH=<folder of qr47.lv2> \
--   VST3_PATH=<folder of QR47.vst3> ardour7-lua tests/ardour_session.lua SESSION_FOLDER
local folder = arg and arg[1] or "/tmp/qr47-ardour-session"
AudioEngine:set_backend("None (Dummy)", "", "")
-- Every input a constant 0.5: a fade shows as a straight ramp, a jump as one step of 0.5.
AudioEngine:set_device_name("DC -6dBFS (+.5)")
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
local lv2 = load("LV2", "urn:qr47:filter", ARDOUR.PluginType.LV2, 2950)
load("VST3", "QR47", ARDOUR.PluginType.VST3, 0.5)

-- The LV2 plug-in's output silent (18dB Boost at its bottom), so that only the dry input can
-- raise it; its track hears the constant input while the transport rolls; ACE Inline Scope
-- keeps the last 6 seconds of what passes it, before and after the plug-in.
local lv2_track = s:route_by_name("LV2"):to_track()
ARDOUR.LuaAPI.set_processor_param(lv2, 5, -60)
lv2_track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                         PBD.GroupControlDisposition.NoGroup)
ARDOUR.LuaAPI.usleep(200000)
local function scope(index)
  local proc = ARDOUR.LuaAPI.new_luaproc(s, "ACE Inline Scope")
  assert(lv2_track:add_processor_by_index(proc, index, nil, true), "no scope")
  return proc:to_insert():plugin(0):to_luaproc():shmem()
end
local dry_scope = scope(0)  -- before the plug-in, which moves to 1
local wet_scope = scope(2)

s:goto_start()
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(600000)
lv2:to_insert():enable(false)
ARDOUR.LuaAPI.usleep(700000)
local enabled_port = ARDOUR.LuaAPI.get_processor_param(lv2, 10, true)
lv2:to_insert():enable(true)
ARDOUR.LuaAPI.usleep(700000)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
local played = s:transport_sample()
assert(played > 44100, "the transport did not play")

-- A scope's first channel, oldest first: the ring follows a header of four values (write
-- position, rate, length, channels).
local function recorded(shm)
  local length = shm:to_int(1):array()[2]
  local start = shm:atomic_get_int(0)
  local data = shm:to_float(4):array()
  local samples = {}
  for i = 0, length - 1 do samples[#samples + 1] = data[(start + i) % length + 1] end
  return samples
end
local dry = recorded(dry_scope)
local out = recorded(wet_scope)
local level = dry[#dry]
local largest, between, reached = 0, 0, false
for i = 2, #out do
  largest = math.max(largest, math.abs(out[i] - out[i - 1]))
  if out[i] == level then
    reached = true
  elseif out[i] ~= 0 then
    between = between + 1
  end
end
-- A linear fade over 10 ms steps level / 441 a sample; a switch without one, the whole level.
assert(enabled_port == 0, "Ardour's bypass did not set the enabled port to 0")
assert(level > 0 and reached and out[#out] == 0, "the output did not reach the dry input and return")
assert(largest <= level / 400, "the output jumped by " .. largest)
print(string.format("bypass: Ardour's own bypass set the LV2 plug-in's enabled port to %g and "
                    .. "back; its output went from silence to the dry input (%g) bit for bit and "
                    .. "back, %d samples between (%.1f ms each way), the largest step %.7f",
                    enabled_port, level, between, between / 2 / 44.1, largest))
s:save_state("", false, false, false, false, false)
close_session()
print("played " .. played .. " frames through QR47 (VST, LV2 and VST 3) in Ardour")

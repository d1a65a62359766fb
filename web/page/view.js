// The 3D view: the converted object built from the converter's arrays (the
// ones its glb holds: colours, normals, lines, sides as the file says), so
// that what is seen is what is downloaded; orbit and zoom, fit to the
// object, a ground grid and axes sized to it.
import { AxesHelper, Box3, GridHelper, PerspectiveCamera, Vector3, WebGLRenderer } from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { disposeObject, frame, litScene, objectFromView } from './mesh.js';

export function createView(canvas) {
  let renderer = null;
  try {
    renderer = new WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
  } catch (error) {
    canvas.replaceWith(Object.assign(document.createElement('p'), {
      className: 'no-webgl', textContent: `WebGL: ${error.message}`,
    }));
    return { show() {}, fit() {}, setGrid() {}, setAxes() {}, stats: () => ({ webgl: false }) };
  }
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  const scene = litScene();
  const camera = new PerspectiveCamera(45, 1, 0.01, 1000);
  camera.position.set(3, 2, 4);
  const controls = new OrbitControls(camera, canvas);
  controls.enableDamping = false;
  controls.addEventListener('change', draw);
  // Keyboard: with the view focused, the arrow keys pan and +/- zoom.
  controls.listenToKeyEvents(canvas);
  canvas.addEventListener('keydown', (event) => {
    if (event.key !== '+' && event.key !== '-' && event.key !== '=') return;
    event.preventDefault();
    const factor = event.key === '-' ? 1.2 : 1 / 1.2;
    camera.position.sub(controls.target).multiplyScalar(factor).add(controls.target);
    controls.update();
    draw();
  });

  let grid = null;
  let axes = null;
  let showGrid = true;
  let showAxes = true;
  let object = null;
  let loadCount = 0;

  function size() {
    const width = canvas.clientWidth || 640;
    const height = canvas.clientHeight || 480;
    if (canvas.width !== Math.floor(width * renderer.getPixelRatio()) ||
        canvas.height !== Math.floor(height * renderer.getPixelRatio())) {
      renderer.setSize(width, height, false);
      camera.aspect = width / height;
      camera.updateProjectionMatrix();
    }
  }

  function draw() {
    size();
    renderer.render(scene, camera);
  }

  // The helpers sized to the object: a grid on its floor, axes at the origin.
  function helpers(box) {
    if (grid) { scene.remove(grid); grid.dispose(); }
    if (axes) { scene.remove(axes); axes.dispose(); }
    const extent = box.isEmpty() ? 2 : Math.max(...box.getSize(new Vector3()).toArray(), 1e-6);
    const step = Math.pow(10, Math.floor(Math.log10(extent / 2)));
    const span = Math.ceil((extent * 2) / step) * step;
    grid = new GridHelper(span, Math.round(span / step), 0x667080, 0x3a404a);
    grid.position.y = box.isEmpty() ? 0 : box.min.y;
    grid.visible = showGrid;
    axes = new AxesHelper(extent * 0.75);
    axes.visible = showAxes;
    scene.add(grid, axes);
  }

  function fit() {
    size();
    controls.target.copy(frame(camera, object));
    controls.update();
    draw();
  }

  // `view`: the converter's arrays, or null for nothing.
  function show(view) {
    const load = ++loadCount;
    if (object) {
      scene.remove(object);
      disposeObject(object);
      object = null;
    }
    if (view) {
      object = objectFromView(view);
      scene.add(object);
    }
    helpers(object ? new Box3().setFromObject(object) : new Box3());
    fit();
    canvas.dataset.loads = String(load);
  }

  new ResizeObserver(draw).observe(canvas);
  helpers(new Box3());
  draw();

  return {
    show,
    fit,
    setGrid(on) { showGrid = on; if (grid) grid.visible = on; draw(); },
    setAxes(on) { showAxes = on; if (axes) axes.visible = on; draw(); },
    stats() {
      let meshes = 0;
      let lines = 0;
      if (object) object.traverse((o) => { if (o.isMesh) meshes++; if (o.isLine || o.isLineSegments) lines++; });
      return { webgl: true, loads: loadCount, meshes, lines };
    },
  };
}
